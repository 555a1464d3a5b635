// The world's own rules, without any network: its objects, the cells and
// sectors they lie in, the per-cell sequence numbers and the progress of a
// bot's property query.
//
// Positions are in world units, 1000 units to a cell and 8 cells to a sector,
// both rounding down (so x = -1 lies in cell -1, sector -1). Every add, delete
// or change of an object raises its cell's sequence number by one; a cell
// never touched has 0.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/world_object.h"
#include "net/bot_protocol.h"
#include "net/geometry.h"

namespace kelva::world {

using kelva::WorldObject;

using net::cellFromCoordinate;
using net::sectorFromCell;

struct CellKey {
  int32_t x = 0;
  int32_t z = 0;
  auto operator<=>(const CellKey&) const = default;
};

// What one change did to the world: an object left or entered a cell, whose
// sequence number is now `sequence`.
struct ObjectEvent {
  enum class Kind { kDelete, kAdd };
  Kind kind = Kind::kAdd;
  WorldObject object;
  CellKey cell;
  int32_t sequence = 0;
};

class World {
 public:
  // Puts an object into the world. An object of the same number is taken out
  // first, so the result is a delete and an add, or just an add.
  std::vector<ObjectEvent> add(WorldObject object);
  // Takes an object out; nothing when there is no such object.
  std::optional<ObjectEvent> remove(int32_t number);
  // Changes the object `number` in place (its number stays) to the new
  // fields: a delete of the old object, then an add of the changed one, as
  // the bot expects to hear it. nullopt when there is no such object.
  std::optional<std::vector<ObjectEvent>> change(int32_t number, const net::ObjectFields& fields);

  const WorldObject* find(int32_t number) const;
  int32_t sequence(CellKey cell) const;
  // The cells of the nine sectors around (sectorX, sectorZ) that hold
  // objects, in ascending x, then z.
  std::vector<CellKey> cellsAround(int32_t sectorX, int32_t sectorZ) const;
  // The objects of one cell in ascending number.
  std::vector<const WorldObject*> objectsIn(CellKey cell) const;
  // Every object, in ascending number.
  const std::map<int32_t, WorldObject>& objects() const { return objects_; }

 private:
  int32_t raise(CellKey cell);

  std::map<int32_t, WorldObject> objects_;
  std::map<CellKey, std::set<int32_t>> cells_;
  std::map<CellKey, int32_t> sequence_;
};

// One bot's property query, which the world may answer in several rounds.
// The list of cells is taken at the first call; each later call for the same
// home sector answers the next part of it, until the answer is complete.
class QueryCursor {
 public:
  struct Round {
    std::vector<CellKey> cells;
    bool complete = true;
  };
  // Answers one Query call with at most `cellsPerAnswer` cells (0: no limit).
  // A call for another home sector, or after a complete answer, starts over.
  Round answer(const World& world, int32_t sectorX, int32_t sectorZ, std::size_t cellsPerAnswer);

 private:
  bool active_ = false;
  int32_t sectorX_ = 0;
  int32_t sectorZ_ = 0;
  std::vector<CellKey> cells_;
  std::size_t next_ = 0;
};

}  // namespace kelva::world
