// The bot port's protocol: how the world SDK travels between a bot and the
// world server (docs/bot_protocol.md describes it for people).
//
// Every message is one JSON object on one line. The bot sends calls
// ({"call":"Whisper",...}); the world sends events ({"event":"chat",...})
// carrying the SDK attributes by their own names, replies to the two calls
// that return a value, and error notices for calls it refused. Both sides
// parse strictly: an unknown name, a missing field or a number out of range
// makes the whole line malformed, so a half-understood message never changes
// anything.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "data/result.h"
#include "data/world_object.h"
#include "state/world_sdk.h"

namespace kelva::net {

// The longest line either side accepts on the bot port.
inline constexpr std::size_t kMaxBotLine = 64 * 1024;

// The world's events. The numbers are the ones EventOff and EventOn take;
// object-click is 17, the number the game switches off while it handles one.
enum class EventKind : int32_t {
  kAvatarArrival = 1,
  kChat = 2,
  kAvatarClick = 3,
  kCellBegin = 4,
  kCellObject = 5,
  kObjectAdd = 6,
  kObjectDelete = 7,
  kQueryComplete = 8,
  // A player left the world. The game has no handler for it: only the bot's
  // platform layer listens, to keep the operator's list of who is online.
  kAvatarDeparture = 9,
  kObjectClick = 17,
};
inline constexpr std::array<EventKind, 10> kAllEvents = {
    EventKind::kAvatarArrival, EventKind::kChat,         EventKind::kAvatarClick,   EventKind::kObjectClick,
    EventKind::kCellBegin,     EventKind::kCellObject,   EventKind::kObjectAdd,     EventKind::kObjectDelete,
    EventKind::kQueryComplete, EventKind::kAvatarDeparture};
std::string_view eventName(EventKind kind);
std::optional<EventKind> eventByName(std::string_view name);
std::optional<EventKind> eventByNumber(int32_t number);

// An attribute's value: longs and integers travel as whole numbers (an
// integer attribute is range-checked to 16 bits when parsed), texts as
// strings, booleans as true/false.
using AttributeValue = std::variant<int32_t, std::string, bool>;

struct Attribute {
  std::string name;
  AttributeValue value;
  bool operator==(const Attribute&) const = default;
};

// An event with the attributes the world sets before delivering it.
struct WorldEvent {
  EventKind kind = EventKind::kChat;
  std::vector<Attribute> attributes;
  WorldEvent& set(std::string name, AttributeValue value);
  const AttributeValue* find(std::string_view name) const;
  bool operator==(const WorldEvent&) const = default;
};

enum class CallKind {
  kInit,
  kStartBot,
  kSectorFromCell,
  kQuery,
  kWait,
  kSay,
  kWhisper,
  kTeleport,
  kObjectChange,
  kEventOff,
  kEventOn,
  kDestroy,
  kTerm,
};
std::string_view callName(CallKind kind);

// The object attributes an ObjectChange sets: the object keeps its number
// (ObjectOldNumber names it), so `number` goes unused. Listed in the order
// the call carries them.
struct ObjectFields : WorldObject {
  ObjectFields() = default;
  ObjectFields(int32_t x, int32_t y, int32_t z, int16_t yaw, int32_t owner, std::string model,
               std::string description, std::string action)
      : WorldObject{0, std::move(model), std::move(description), std::move(action), x, y, z, yaw, owner, {}} {}
};

// One call from the bot. Which fields matter depends on `kind`; the others
// keep their defaults.
struct BotCall {
  CallKind kind = CallKind::kInit;
  // StartBot and SectorFromCell: the bot's number for the call, echoed in the reply.
  int64_t id = 0;
  // Init: the version; SectorFromCell: the cell; Wait: milliseconds;
  // EventOff/EventOn: the event number; Whisper/Teleport: the session.
  int32_t value = 0;
  // StartBot.
  int32_t citizen = 0;
  std::string password;
  std::string botName;
  std::string application;
  std::string world;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int32_t reserved1 = 0;
  int32_t reserved2 = 0;
  // Query: the home sector and the nine sequence numbers in call order.
  int32_t sectorX = 0;
  int32_t sectorZ = 0;
  std::array<int32_t, 9> sequence{};
  // Say, Whisper.
  std::string text;
  // Teleport.
  int16_t teleportX = 0;
  int16_t teleportY = 0;
  int16_t teleportZ = 0;
  bool teleportWarp = false;
  // ObjectChange.
  int32_t oldNumber = 0;
  int32_t oldX = 0;
  int32_t oldZ = 0;
  ObjectFields object;
  bool operator==(const BotCall&) const = default;
};

// The answer to a call that returns a value: StartBot's code, SectorFromCell's sector.
struct Reply {
  CallKind call = CallKind::kStartBot;
  int64_t id = 0;
  int32_t value = 0;
  // StartBot: the session of the bot's own avatar.
  int32_t session = 0;
  bool operator==(const Reply&) const = default;
};

// The world refused a call or could not read a line.
struct Notice {
  std::string message;
  bool operator==(const Notice&) const = default;
};

using WorldMessage = std::variant<WorldEvent, Reply, Notice>;

// Each encoder returns one line without its line end. Texts that are not
// valid UTF-8 are sent with the bad bytes replaced (JSON carries only UTF-8).
std::string encodeCall(const BotCall& call);
std::string encodeEvent(const WorldEvent& event);
std::string encodeReply(const Reply& reply);
std::string encodeNotice(const Notice& notice);

Result<BotCall> parseBotLine(std::string_view line);
Result<WorldMessage> parseWorldLine(std::string_view line);

// Sets each field of `call` that is an SDK attribute by name (Teleport's
// TeleportX..., ObjectChange's Object... attributes) to its value on `sdk`.
void takeAttributes(BotCall& call, const WorldSdk& sdk);

// Sets on `sdk` every attribute the event carries. The event must come from
// parseWorldLine, which has checked every name and range.
void applyAttributes(const WorldEvent& event, WorldSdk& sdk);

}  // namespace kelva::net
