#include "session/sim_world.h"

#include <algorithm>

namespace kelva {

int32_t floorDiv(int32_t a, int32_t b) {
  const int64_t q = static_cast<int64_t>(a) / b;
  const int64_t r = static_cast<int64_t>(a) % b;
  return static_cast<int32_t>(r < 0 ? q - 1 : q);
}

int32_t cellOf(int32_t coordinate) { return floorDiv(coordinate, 1000); }

SimWorld::SimWorld(Sink sink) : sink_(std::move(sink)) {}

void SimWorld::setQueryRounds(int32_t rounds) { queryRounds_ = std::max<int32_t>(1, rounds); }

SimWorld::CellKey SimWorld::cellKeyOf(const WorldObject& object) { return {cellOf(object.x), cellOf(object.z)}; }

int32_t SimWorld::raiseSequence(const CellKey& cell) {
  int32_t& s = sequences_[cell];
  // A cell would need two thousand million changes to get here; the number
  // then starts again rather than overflow.
  s = s == INT32_MAX ? 0 : s + 1;
  return s;
}

int32_t SimWorld::cellSequenceOf(int32_t cellX, int32_t cellZ) const {
  const auto it = sequences_.find({cellX, cellZ});
  return it == sequences_.end() ? 0 : it->second;
}

const WorldObject* SimWorld::findObject(int32_t number) const {
  const auto it = objects_.find(number);
  return it == objects_.end() ? nullptr : &it->second;
}

void SimWorld::eraseObject(int32_t number) {
  const auto it = objects_.find(number);
  const WorldObject old = it->second;
  objects_.erase(it);
  const CellKey cell = cellKeyOf(old);
  const int32_t sequence = raiseSequence(cell);
  if (!loggedIn_) return;
  Event e;
  e.kind = EventKind::kObjectDelete;
  e.object = old;
  e.cellX = cell.first;
  e.cellZ = cell.second;
  e.cellSequence = sequence;
  pending_.push_back(std::move(e));
}

void SimWorld::insertObject(const WorldObject& object) {
  objects_[object.number] = object;
  const CellKey cell = cellKeyOf(object);
  const int32_t sequence = raiseSequence(cell);
  if (!loggedIn_) return;
  Event e;
  e.kind = EventKind::kObjectAdd;
  e.object = object;
  e.cellX = cell.first;
  e.cellZ = cell.second;
  e.cellSequence = sequence;
  pending_.push_back(std::move(e));
}

void SimWorld::putObject(const WorldObject& object) {
  if (objects_.count(object.number) != 0) eraseObject(object.number);
  insertObject(object);
}

bool SimWorld::removeObject(int32_t number) {
  if (objects_.count(number) == 0) return false;
  eraseObject(number);
  return true;
}

void SimWorld::queueAvatarArrival(const std::string& name) {
  Event e;
  e.kind = EventKind::kAvatarAdd;
  e.avatarName = name;
  pending_.push_back(std::move(e));
}

void SimWorld::queueChat(const std::string& name, int32_t session, const std::string& text) {
  Event e;
  e.kind = EventKind::kChat;
  e.avatarName = name;
  e.session = session;
  e.text = text;
  pending_.push_back(std::move(e));
}

void SimWorld::queueObjectClick(const std::string& name, int32_t session, int32_t number) {
  Event e;
  e.kind = EventKind::kObjectClick;
  e.avatarName = name;
  e.session = session;
  e.object.number = number;
  pending_.push_back(std::move(e));
}

void SimWorld::queueAvatarClick(const std::string& name, int32_t session, const std::string& clickedName,
                                int32_t clickedSession) {
  Event e;
  e.kind = EventKind::kAvatarClick;
  e.avatarName = name;
  e.session = session;
  e.clickedName = clickedName;
  e.clickedSession = clickedSession;
  pending_.push_back(std::move(e));
}

void SimWorld::Init(int32_t) {}

int32_t SimWorld::StartBot(int32_t, const std::string&, const std::string&, const std::string&,
                           const std::string&, int32_t, int32_t, int32_t, int32_t, int32_t) {
  if (loginResult_ == 0) loggedIn_ = true;
  return loginResult_;
}

int32_t SimWorld::SectorFromCell(int32_t cell) { return floorDiv(cell, 8); }

std::vector<SimWorld::AnsweredCell> SimWorld::answerCells(int32_t sectorX, int32_t sectorZ) const {
  // std::map keeps cells in ascending (cellX, cellZ) and objects_ iterates in
  // ascending number, which is the order an answer lists them in.
  std::map<CellKey, AnsweredCell> cells;
  for (const auto& [number, object] : objects_) {
    const CellKey cell = cellKeyOf(object);
    const int64_t dx = static_cast<int64_t>(floorDiv(cell.first, 8)) - sectorX;
    const int64_t dz = static_cast<int64_t>(floorDiv(cell.second, 8)) - sectorZ;
    if (dx < -1 || dx > 1 || dz < -1 || dz > 1) continue;
    AnsweredCell& answered = cells[cell];
    answered.cell = cell;
    answered.sequence = cellSequenceOf(cell.first, cell.second);
    answered.objects.push_back(object);
  }
  std::vector<AnsweredCell> out;
  out.reserve(cells.size());
  for (auto& [key, answered] : cells) out.push_back(std::move(answered));
  return out;
}

void SimWorld::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) {
  std::string line = "query " + std::to_string(sectorX) + " " + std::to_string(sectorZ);
  for (const auto& row : sequence) {
    for (int32_t s : row) line += " " + std::to_string(s);
  }
  emit(line);

  // A call that continues an incomplete query answers its next part; any
  // other call starts a new query, whose cells are fixed now. Fixing them at
  // the first call is what keeps every object reported exactly once over the
  // rounds, whatever happens in the world between them.
  if (!query_.active || query_.sectorX != sectorX || query_.sectorZ != sectorZ) {
    query_ = QuerySeries{};
    query_.active = true;
    query_.sectorX = sectorX;
    query_.sectorZ = sectorZ;
    query_.rounds = queryRounds_;
    query_.cells = answerCells(sectorX, sectorZ);
  }
  const int64_t c = static_cast<int64_t>(query_.cells.size());
  const int64_t n = query_.rounds;
  const int64_t k = ++query_.roundsDone;
  const auto from = static_cast<std::size_t>((k - 1) * c / n);
  const auto to = static_cast<std::size_t>(k * c / n);
  for (std::size_t i = from; i < to; ++i) {
    const AnsweredCell& answered = query_.cells[i];
    Event begin;
    begin.kind = EventKind::kCellBegin;
    begin.cellX = answered.cell.first;
    begin.cellZ = answered.cell.second;
    begin.cellSequence = answered.sequence;
    pending_.push_back(begin);
    for (const WorldObject& object : answered.objects) {
      Event e;
      e.kind = EventKind::kCellObject;
      e.object = object;
      e.cellX = answered.cell.first;
      e.cellZ = answered.cell.second;
      e.cellSequence = answered.sequence;
      pending_.push_back(std::move(e));
    }
  }
  Event done;
  done.kind = EventKind::kQueryComplete;
  done.complete = k >= n;
  pending_.push_back(done);
  if (done.complete) query_ = QuerySeries{};
}

void SimWorld::Wait(int32_t milliseconds) {
  if (sleepHook_) sleepHook_(milliseconds);
  // Only what is pending now: events the handlers cause wait for the next call.
  std::deque<Event> batch;
  batch.swap(pending_);
  for (const Event& e : batch) deliver(e);
}

void SimWorld::deliver(const Event& e) {
  switch (e.kind) {
    case EventKind::kAvatarAdd:
      AvatarName = e.avatarName;
      if (events_) events_->onAvatarAdd();
      return;
    case EventKind::kChat:
      AvatarName = e.avatarName;
      ChatSession = e.session;
      ChatMessage = e.text;
      if (events_) events_->onChat();
      return;
    case EventKind::kAvatarClick:
      AvatarName = e.avatarName;
      AvatarSession = e.session;
      ClickedName = e.clickedName;
      ClickedSession = e.clickedSession;
      if (events_) events_->onAvatarClick();
      return;
    case EventKind::kObjectClick:
      AvatarName = e.avatarName;
      AvatarSession = e.session;
      ObjectNumber = e.object.number;
      if (events_) events_->onObjectClick();
      return;
    case EventKind::kCellBegin:
      CellX = e.cellX;
      CellZ = e.cellZ;
      CellSequence = e.cellSequence;
      if (events_) events_->onCellBegin();
      return;
    case EventKind::kCellObject:
    case EventKind::kObjectAdd:
    case EventKind::kObjectDelete:
      CellX = e.cellX;
      CellZ = e.cellZ;
      CellSequence = e.cellSequence;
      ObjectNumber = e.object.number;
      ObjectModel = e.object.model;
      ObjectDescription = e.object.description;
      ObjectAction = e.object.action;
      ObjectX = e.object.x;
      ObjectY = e.object.y;
      ObjectZ = e.object.z;
      ObjectYaw = e.object.yaw;
      ObjectOwner = e.object.owner;
      if (!events_) return;
      if (e.kind == EventKind::kCellObject) {
        events_->onCellObject();
      } else if (e.kind == EventKind::kObjectAdd) {
        events_->onObjectAdd();
      } else {
        events_->onObjectDelete();
      }
      return;
    case EventKind::kQueryComplete:
      QueryComplete = e.complete;
      if (events_) events_->onQueryComplete();
      return;
  }
}

void SimWorld::Say(const std::string& text) { emit("say " + text); }

void SimWorld::Whisper(int32_t session, const std::string& text) {
  emit("whisper " + std::to_string(session) + " " + text);
}

void SimWorld::Teleport(int32_t session) {
  emit("teleport " + std::to_string(session) + " " + std::to_string(TeleportX) + " " + std::to_string(TeleportY) +
       " " + std::to_string(TeleportZ) + " " + (TeleportWarp ? "1" : "0"));
}

void SimWorld::ObjectChange() {
  std::string line = "object-change " + std::to_string(ObjectOldNumber) + " " + ObjectModel;
  if (!ObjectAction.empty()) line += " " + ObjectAction;
  emit(line);

  // The object keeps its number; the world reports the change as the old
  // object leaving and the changed one appearing. A number the world does not
  // hold changes nothing.
  const auto it = objects_.find(ObjectOldNumber);
  if (it == objects_.end()) return;
  WorldObject changed = it->second;
  changed.x = ObjectX;
  changed.y = ObjectY;
  changed.z = ObjectZ;
  changed.yaw = ObjectYaw;
  changed.owner = ObjectOwner;
  changed.model = ObjectModel;
  changed.description = ObjectDescription;
  changed.action = ObjectAction;
  eraseObject(ObjectOldNumber);
  insertObject(changed);
}

// The world delivers one event at a time and never inside a handler unless
// the handler itself calls Wait, so switching the click event off while the
// click handler runs has nothing to guard against here.
void SimWorld::EventOff(int32_t) {}
void SimWorld::EventOn(int32_t) {}

void SimWorld::Destroy() { emit("destroy"); }
void SimWorld::Term() { emit("term"); }

}  // namespace kelva
