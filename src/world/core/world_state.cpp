#include "world/core/world_state.h"

#include <algorithm>
#include <limits>

namespace kelva::world {

namespace {

CellKey cellOf(const WorldObject& o) { return {cellFromCoordinate(o.x), cellFromCoordinate(o.z)}; }

}  // namespace


int32_t World::raise(CellKey cell) {
  int32_t& s = sequence_[cell];
  // A cell would need two thousand million changes to get here; it then
  // stays at the top rather than turn negative.
  if (s < std::numeric_limits<int32_t>::max()) ++s;
  return s;
}

std::vector<ObjectEvent> World::add(WorldObject object) {
  std::vector<ObjectEvent> events;
  if (auto old = remove(object.number)) events.push_back(std::move(*old));
  CellKey cell = cellOf(object);
  cells_[cell].insert(object.number);
  int32_t seq = raise(cell);
  events.push_back({ObjectEvent::Kind::kAdd, object, cell, seq});
  objects_[object.number] = std::move(object);
  return events;
}

std::optional<ObjectEvent> World::remove(int32_t number) {
  auto it = objects_.find(number);
  if (it == objects_.end()) return std::nullopt;
  CellKey cell = cellOf(it->second);
  auto c = cells_.find(cell);
  c->second.erase(number);
  if (c->second.empty()) cells_.erase(c);
  ObjectEvent event{ObjectEvent::Kind::kDelete, std::move(it->second), cell, raise(cell)};
  objects_.erase(it);
  return event;
}

std::optional<std::vector<ObjectEvent>> World::change(int32_t number, const net::ObjectFields& fields) {
  auto old = objects_.find(number);
  if (old == objects_.end()) return std::nullopt;
  WorldObject changed = fields;
  changed.number = number;
  // The bot changes what it knows of (a picked shroom, a moved stall); the
  // label is the world file's and stays.
  changed.label = old->second.label;
  return add(std::move(changed));
}

const WorldObject* World::find(int32_t number) const {
  auto it = objects_.find(number);
  return it == objects_.end() ? nullptr : &it->second;
}

int32_t World::sequence(CellKey cell) const {
  auto it = sequence_.find(cell);
  return it == sequence_.end() ? 0 : it->second;
}

std::vector<CellKey> World::cellsAround(int32_t sectorX, int32_t sectorZ) const {
  std::vector<CellKey> result;
  for (const auto& [cell, numbers] : cells_) {
    int64_t dx = int64_t{sectorFromCell(cell.x)} - sectorX;
    int64_t dz = int64_t{sectorFromCell(cell.z)} - sectorZ;
    if (dx >= -1 && dx <= 1 && dz >= -1 && dz <= 1) result.push_back(cell);
  }
  return result;  // the map keeps them in ascending x, then z
}

std::vector<const WorldObject*> World::objectsIn(CellKey cell) const {
  std::vector<const WorldObject*> result;
  auto it = cells_.find(cell);
  if (it == cells_.end()) return result;
  for (int32_t number : it->second) result.push_back(&objects_.at(number));
  return result;
}

QueryCursor::Round QueryCursor::answer(const World& world, int32_t sectorX, int32_t sectorZ,
                                       std::size_t cellsPerAnswer) {
  if (!active_ || sectorX != sectorX_ || sectorZ != sectorZ_) {
    active_ = true;
    sectorX_ = sectorX;
    sectorZ_ = sectorZ;
    cells_ = world.cellsAround(sectorX, sectorZ);
    next_ = 0;
  }
  Round round;
  std::size_t left = cells_.size() - next_;
  std::size_t take = cellsPerAnswer == 0 ? left : std::min(left, cellsPerAnswer);
  round.cells.assign(cells_.begin() + static_cast<std::ptrdiff_t>(next_),
                     cells_.begin() + static_cast<std::ptrdiff_t>(next_ + take));
  next_ += take;
  round.complete = next_ == cells_.size();
  if (round.complete) active_ = false;
  return round;
}

}  // namespace kelva::world
