#include "net/net_world_sdk.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "net/bot_protocol.h"
#include "net/geometry.h"
#include "net/world_link.h"

namespace kelva::net {

using Clock = std::chrono::steady_clock;

NetWorldSdk::NetWorldSdk(NetOptions options)
    : echo_(options.echo), link_(std::make_unique<WorldLink>(std::move(options))) {}

NetWorldSdk::~NetWorldSdk() = default;

int32_t NetWorldSdk::session() const { return link_->session.load(); }
bool NetWorldSdk::online() const { return link_->online.load(); }

void NetWorldSdk::Init(int32_t version) { version_ = version; }

int32_t NetWorldSdk::StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                              const std::string& application, const std::string& world, int32_t x, int32_t y,
                              int32_t z, int32_t reserved1, int32_t reserved2) {
  BotCall init;
  init.kind = CallKind::kInit;
  init.value = version_;
  BotCall call;
  call.kind = CallKind::kStartBot;
  call.citizen = citizen;
  call.password = password;
  call.botName = botName;
  call.application = application;
  call.world = world;
  call.x = x;
  call.y = y;
  call.z = z;
  call.reserved1 = reserved1;
  call.reserved2 = reserved2;
  return link_->login(init, call);
}

int32_t NetWorldSdk::SectorFromCell(int32_t cell) {
  // The world answers; while it cannot, the rule is the same here.
  if (std::optional<int32_t> sector = link_->sectorFromCell(cell)) return *sector;
  return sectorFromCell(cell);
}

void NetWorldSdk::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) {
  BotCall call;
  call.kind = CallKind::kQuery;
  call.sectorX = sectorX;
  call.sectorZ = sectorZ;
  std::size_t i = 0;
  for (const auto& row : sequence)
    for (int32_t s : row) call.sequence[i++] = s;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Wait(int32_t milliseconds) {
  if (link_->online.load()) send(CallKind::kWait, milliseconds);
  // First the events that were waiting when Wait was called, then, in real
  // time, whatever arrives until the time is up.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  for (std::size_t n = link_->pendingCount(); n > 0; --n) {
    std::optional<LinkItem> item = link_->pop(std::nullopt);
    if (!item) break;
    deliver(*item);
  }
  while (milliseconds > 0 && Clock::now() < deadline) {
    std::optional<LinkItem> item = link_->pop(deadline);
    if (!item) break;
    deliver(*item);
  }
}

void NetWorldSdk::deliver(const LinkItem& item) {
  if (item.reconnected) {
    if (presenceHook_) presenceHook_(Presence::kReset, {}, 0);
    if (reconnectHook_) reconnectHook_();
    return;
  }
  const EventKind kind = item.event.kind;
  if (kind == EventKind::kAvatarDeparture) {
    // Only the presence list hears of it; the SDK's attributes stay as the
    // game last saw them.
    tellPresence(Presence::kLeft, item.event);
    return;
  }
  applyAttributes(item.event, *this);
  if (kind == EventKind::kAvatarArrival) tellPresence(Presence::kArrived, item.event);
  if (!events_) return;
  switch (item.event.kind) {
    case EventKind::kAvatarArrival:
      events_->onAvatarAdd();
      break;
    case EventKind::kChat:
      events_->onChat();
      break;
    case EventKind::kAvatarClick:
      events_->onAvatarClick();
      break;
    case EventKind::kObjectClick:
      events_->onObjectClick();
      break;
    case EventKind::kCellBegin:
      events_->onCellBegin();
      break;
    case EventKind::kCellObject:
      events_->onCellObject();
      break;
    case EventKind::kObjectAdd:
      events_->onObjectAdd();
      break;
    case EventKind::kObjectDelete:
      events_->onObjectDelete();
      break;
    case EventKind::kQueryComplete:
      events_->onQueryComplete();
      break;
    case EventKind::kAvatarDeparture:
      break;  // handled above
  }
}

void NetWorldSdk::tellPresence(Presence what, const WorldEvent& event) {
  if (!presenceHook_) return;
  const auto* name = event.find("AvatarName");
  const auto* session = event.find("AvatarSession");
  // An arrival without its session cannot be matched with its departure.
  if (!name || !session || !std::holds_alternative<std::string>(*name) || !std::holds_alternative<int32_t>(*session))
    return;
  presenceHook_(what, std::get<std::string>(*name), std::get<int32_t>(*session));
}

void NetWorldSdk::send(CallKind kind, int32_t value, std::string text) {
  BotCall call;
  call.kind = kind;
  call.value = value;
  call.text = std::move(text);
  // Teleport's and ObjectChange's other fields are the SDK attributes of this moment.
  takeAttributes(call, *this);
  link_->send(encodeCall(call));
}

void NetWorldSdk::Say(const std::string& text) {
  if (echo_) echo_("say " + text);
  send(CallKind::kSay, 0, text);
}

void NetWorldSdk::Whisper(int32_t session, const std::string& text) {
  if (echo_) echo_("whisper " + std::to_string(session) + " " + text);
  send(CallKind::kWhisper, session, text);
}

void NetWorldSdk::Teleport(int32_t session) { send(CallKind::kTeleport, session); }

void NetWorldSdk::ObjectChange() { send(CallKind::kObjectChange); }

void NetWorldSdk::EventOff(int32_t event) { send(CallKind::kEventOff, event); }

void NetWorldSdk::EventOn(int32_t event) { send(CallKind::kEventOn, event); }

void NetWorldSdk::Destroy() { send(CallKind::kDestroy); }

void NetWorldSdk::Term() {
  BotCall call;
  call.kind = CallKind::kTerm;
  link_->terminate(encodeCall(call));
}

}  // namespace kelva::net
