#include "state/held_outputs.h"

#include <exception>
#include <iostream>
#include <utility>

#include "state/sdk_attributes.h"

namespace kelva {

HeldOutputs::HeldOutputs(WorldSdk& world, ConsoleView& view, Sound& sound)
    : world_(world), view_(view), sound_(sound) {
  copySdkAttributes(world_, *this);
  world_.setEventHandler(this);
}

HeldOutputs::~HeldOutputs() {
  if (world_.eventHandler() == this) world_.setEventHandler(nullptr);
}

void HeldOutputs::hold() { holding_ = true; }

void HeldOutputs::release() {
  holding_ = false;
  std::vector<Held> out;
  out.swap(held_);
  int failed = 0;
  std::string firstFailure;
  for (const Held& h : out) {
    try {
      send(h);
    } catch (const std::exception& e) {
      if (failed++ == 0) firstFailure = e.what();
    } catch (...) {
      if (failed++ == 0) firstFailure = "unknown failure";
    }
  }
  if (failed > 0) {
    std::cerr << "kelvabot: " << failed << " held output(s) could not be sent: " << firstFailure << "\n";
  }
}

void HeldOutputs::sendEarly() {
  if (held_.empty()) return;
  if (beforeEarlySend_ && !beforeEarlySend_()) return;
  release();
  holding_ = true;
}

void HeldOutputs::send(const Held& h) {
  switch (h.kind) {
    case Kind::kSay:
      world_.Say(h.text);
      return;
    case Kind::kWhisper:
      world_.Whisper(h.number, h.text);
      return;
    case Kind::kTeleport:
      world_.TeleportX = h.teleportX;
      world_.TeleportY = h.teleportY;
      world_.TeleportZ = h.teleportZ;
      world_.TeleportWarp = h.teleportWarp;
      world_.Teleport(h.number);
      return;
    case Kind::kObjectChange:
      world_.ObjectOldNumber = h.oldNumber;
      world_.ObjectOldX = h.oldX;
      world_.ObjectOldZ = h.oldZ;
      world_.ObjectX = h.x;
      world_.ObjectY = h.y;
      world_.ObjectZ = h.z;
      world_.ObjectYaw = h.yaw;
      world_.ObjectOwner = h.owner;
      world_.ObjectModel = h.model;
      world_.ObjectDescription = h.description;
      world_.ObjectAction = h.action;
      world_.ObjectChange();
      return;
    case Kind::kEventOff:
      world_.EventOff(h.number);
      return;
    case Kind::kEventOn:
      world_.EventOn(h.number);
      return;
    case Kind::kCombo1:
      view_.combo1Added(h.text);
      return;
    case Kind::kText2:
      view_.text2Written(h.text);
      return;
    case Kind::kText3:
      view_.text3Written(h.text);
      return;
    case Kind::kList1:
      view_.list1Added(h.text);
      return;
    case Kind::kSound:
      sound_.restart();
      return;
  }
}

HeldOutputs::Held HeldOutputs::held(Kind kind, int32_t number, std::string text) {
  Held h;
  h.kind = kind;
  h.number = number;
  h.text = std::move(text);
  return h;
}

template <typename Send>
void HeldOutputs::holdOr(Held h, Send sendNow) {
  if (holding_) {
    held_.push_back(std::move(h));
  } else {
    sendNow();
  }
}

// Calls that deliver events or read the world: what is held goes out first,
// then the real world gets the game's attributes as they stand.

void HeldOutputs::Init(int32_t version) {
  sendEarly();
  copySdkAttributes(*this, world_);
  world_.Init(version);
}

int32_t HeldOutputs::StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                              const std::string& application, const std::string& world, int32_t x, int32_t y,
                              int32_t z, int32_t reserved1, int32_t reserved2) {
  sendEarly();
  copySdkAttributes(*this, world_);
  return world_.StartBot(citizen, password, botName, application, world, x, y, z, reserved1, reserved2);
}

int32_t HeldOutputs::SectorFromCell(int32_t cell) { return world_.SectorFromCell(cell); }

void HeldOutputs::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) {
  sendEarly();
  copySdkAttributes(*this, world_);
  world_.Query(sectorX, sectorZ, sequence);
}

void HeldOutputs::Wait(int32_t milliseconds) {
  sendEarly();
  copySdkAttributes(*this, world_);
  world_.Wait(milliseconds);
}

void HeldOutputs::Destroy() {
  sendEarly();
  copySdkAttributes(*this, world_);
  world_.Destroy();
}

void HeldOutputs::Term() {
  sendEarly();
  copySdkAttributes(*this, world_);
  world_.Term();
}

void HeldOutputs::Say(const std::string& text) {
  holdOr(held(Kind::kSay, 0, text), [&] { world_.Say(text); });
}

void HeldOutputs::Whisper(int32_t session, const std::string& text) {
  holdOr(held(Kind::kWhisper, session, text), [&] { world_.Whisper(session, text); });
}

void HeldOutputs::Teleport(int32_t session) {
  Held h = held(Kind::kTeleport, session);
  h.teleportX = TeleportX;
  h.teleportY = TeleportY;
  h.teleportZ = TeleportZ;
  h.teleportWarp = TeleportWarp;
  holdOr(std::move(h), [&] {
    copySdkAttributes(*this, world_);
    world_.Teleport(session);
  });
}

void HeldOutputs::ObjectChange() {
  Held h = held(Kind::kObjectChange);
  h.oldNumber = ObjectOldNumber;
  h.oldX = ObjectOldX;
  h.oldZ = ObjectOldZ;
  h.x = ObjectX;
  h.y = ObjectY;
  h.z = ObjectZ;
  h.yaw = ObjectYaw;
  h.owner = ObjectOwner;
  h.model = ObjectModel;
  h.description = ObjectDescription;
  h.action = ObjectAction;
  holdOr(std::move(h), [&] {
    copySdkAttributes(*this, world_);
    world_.ObjectChange();
  });
}

void HeldOutputs::EventOff(int32_t event) {
  holdOr(held(Kind::kEventOff, event), [&] { world_.EventOff(event); });
}

void HeldOutputs::EventOn(int32_t event) {
  holdOr(held(Kind::kEventOn, event), [&] { world_.EventOn(event); });
}

template <typename Handler>
void HeldOutputs::forward(Handler handler) {
  copySdkAttributes(world_, *this);
  // Whatever the handler set (an ObjectModel before an ObjectChange, say)
  // stays set in the real world too, as it would without this layer; also
  // when the handler fails.
  struct CopyBack {
    HeldOutputs& self;
    ~CopyBack() { copySdkAttributes(self, self.world_); }
  } copyBack{*this};
  if (events_) (events_->*handler)();
}

void HeldOutputs::onAvatarAdd() { forward(&WorldEvents::onAvatarAdd); }
void HeldOutputs::onChat() { forward(&WorldEvents::onChat); }
void HeldOutputs::onAvatarClick() { forward(&WorldEvents::onAvatarClick); }
void HeldOutputs::onObjectClick() { forward(&WorldEvents::onObjectClick); }
void HeldOutputs::onCellBegin() { forward(&WorldEvents::onCellBegin); }
void HeldOutputs::onCellObject() { forward(&WorldEvents::onCellObject); }
void HeldOutputs::onObjectAdd() { forward(&WorldEvents::onObjectAdd); }
void HeldOutputs::onObjectDelete() { forward(&WorldEvents::onObjectDelete); }
void HeldOutputs::onQueryComplete() { forward(&WorldEvents::onQueryComplete); }

void HeldOutputs::combo1Added(const std::string& name) {
  holdOr(held(Kind::kCombo1, 0, name), [&] { view_.combo1Added(name); });
}
void HeldOutputs::text2Written(const std::string& text) {
  holdOr(held(Kind::kText2, 0, text), [&] { view_.text2Written(text); });
}
void HeldOutputs::text3Written(const std::string& text) {
  holdOr(held(Kind::kText3, 0, text), [&] { view_.text3Written(text); });
}
void HeldOutputs::list1Added(const std::string& entry) {
  holdOr(held(Kind::kList1, 0, entry), [&] { view_.list1Added(entry); });
}
void HeldOutputs::restart() {
  holdOr(held(Kind::kSound, 0), [&] { sound_.restart(); });
}

}  // namespace kelva
