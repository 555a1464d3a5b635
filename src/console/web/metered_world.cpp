#include "console/web/metered_world.h"

namespace kelva::console::web {

namespace {

// More waiting sessions than this means most will never be answered (lines
// the game ignores): the oldest are forgotten rather than kept for ever.
constexpr std::size_t kMostWaiting = 4096;

// The attributes alone, leaving each side's event handler as it is.
void copyAttributes(const WorldSdk& from, WorldSdk& to) {
  WorldEvents* handler = to.eventHandler();
  to.WorldSdk::operator=(from);
  to.setEventHandler(handler);
}

}  // namespace

MeteredWorld::MeteredWorld(WorldSdk& world, GameMetrics& metrics) : world_(world), metrics_(metrics) {
  copyAttributes(world_, *this);
  world_.setEventHandler(this);
}

MeteredWorld::~MeteredWorld() { world_.setEventHandler(nullptr); }

template <typename F>
void MeteredWorld::deliver(F&& handler) {
  copyAttributes(world_, *this);
  if (events_) handler(*events_);
  copyAttributes(*this, world_);
}

void MeteredWorld::toWorld() { copyAttributes(*this, world_); }

void MeteredWorld::onChat() {
  if (!world_.ChatMessage.empty() && world_.ChatMessage.front() == '/') {
    metrics_.commandReceived();
    if (waiting_.size() >= kMostWaiting) waiting_.clear();
    waiting_.emplace(world_.ChatSession, Clock::now());
  }
  deliver([](WorldEvents& e) { e.onChat(); });
}

void MeteredWorld::Whisper(int32_t session, const std::string& text) {
  if (const auto it = waiting_.find(session); it != waiting_.end()) {
    metrics_.replied(std::chrono::duration<double>(Clock::now() - it->second).count());
    waiting_.erase(it);
  }
  toWorld();
  world_.Whisper(session, text);
}

void MeteredWorld::onAvatarAdd() { deliver([](WorldEvents& e) { e.onAvatarAdd(); }); }
void MeteredWorld::onAvatarClick() { deliver([](WorldEvents& e) { e.onAvatarClick(); }); }
void MeteredWorld::onObjectClick() { deliver([](WorldEvents& e) { e.onObjectClick(); }); }
void MeteredWorld::onCellBegin() { deliver([](WorldEvents& e) { e.onCellBegin(); }); }
void MeteredWorld::onCellObject() { deliver([](WorldEvents& e) { e.onCellObject(); }); }
void MeteredWorld::onObjectAdd() { deliver([](WorldEvents& e) { e.onObjectAdd(); }); }
void MeteredWorld::onObjectDelete() { deliver([](WorldEvents& e) { e.onObjectDelete(); }); }
void MeteredWorld::onQueryComplete() { deliver([](WorldEvents& e) { e.onQueryComplete(); }); }

void MeteredWorld::Init(int32_t version) {
  toWorld();
  world_.Init(version);
  copyAttributes(world_, *this);
}

int32_t MeteredWorld::StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                               const std::string& application, const std::string& world, int32_t x, int32_t y,
                               int32_t z, int32_t reserved1, int32_t reserved2) {
  toWorld();
  const int32_t code = world_.StartBot(citizen, password, botName, application, world, x, y, z, reserved1, reserved2);
  copyAttributes(world_, *this);
  return code;
}

int32_t MeteredWorld::SectorFromCell(int32_t cell) { return world_.SectorFromCell(cell); }

void MeteredWorld::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) {
  toWorld();
  world_.Query(sectorX, sectorZ, sequence);
  copyAttributes(world_, *this);
}

void MeteredWorld::Wait(int32_t milliseconds) {
  toWorld();
  world_.Wait(milliseconds);
  copyAttributes(world_, *this);
}

void MeteredWorld::Say(const std::string& text) {
  toWorld();
  world_.Say(text);
}

void MeteredWorld::Teleport(int32_t session) {
  toWorld();
  world_.Teleport(session);
}

void MeteredWorld::ObjectChange() {
  toWorld();
  world_.ObjectChange();
}

void MeteredWorld::EventOff(int32_t event) { world_.EventOff(event); }
void MeteredWorld::EventOn(int32_t event) { world_.EventOn(event); }
void MeteredWorld::Destroy() { world_.Destroy(); }
void MeteredWorld::Term() { world_.Term(); }

}  // namespace kelva::console::web
