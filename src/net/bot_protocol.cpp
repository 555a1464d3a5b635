#include "net/bot_protocol.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <type_traits>

#include "state/sdk_attributes.h"

namespace kelva::net {

namespace {

using json = nlohmann::ordered_json;

struct EventInfo {
  EventKind kind;
  std::string_view name;
  // The attributes the event must carry: the ones its handler reads.
  std::vector<std::string_view> required;
};

const std::vector<std::string_view> kObjectAttributes = {"ObjectNumber", "ObjectX",     "ObjectY",
                                                         "ObjectZ",      "ObjectYaw",   "ObjectModel",
                                                         "ObjectDescription", "ObjectAction", "ObjectOwner"};

std::vector<std::string_view> withCell(std::vector<std::string_view> names) {
  names.insert(names.begin(), {"CellX", "CellZ", "CellSequence"});
  return names;
}

const std::array<EventInfo, 10>& eventTable() {
  static const std::array<EventInfo, 10> table = {{
      {EventKind::kAvatarArrival, "avatar-arrival", {"AvatarName"}},
      {EventKind::kChat, "chat", {"AvatarName", "ChatSession", "ChatMessage"}},
      {EventKind::kAvatarClick, "avatar-click", {"AvatarName", "AvatarSession", "ClickedName", "ClickedSession"}},
      {EventKind::kObjectClick, "object-click", {"AvatarName", "AvatarSession", "ObjectNumber"}},
      {EventKind::kCellBegin, "cell-begin", {"CellX", "CellZ", "CellSequence"}},
      {EventKind::kCellObject, "cell-object", kObjectAttributes},
      {EventKind::kObjectAdd, "object-add", withCell(kObjectAttributes)},
      {EventKind::kObjectDelete, "object-delete", {"CellX", "CellZ", "CellSequence", "ObjectNumber", "ObjectModel"}},
      {EventKind::kQueryComplete, "query-complete", {"QueryComplete"}},
      {EventKind::kAvatarDeparture, "avatar-departure", {"AvatarName", "AvatarSession"}},
  }};
  return table;
}

const EventInfo& eventInfo(EventKind kind) {
  for (const EventInfo& info : eventTable())
    if (info.kind == kind) return info;
  return eventTable()[0];  // unreachable: every kind has a row
}

// Where one field of a call lives in BotCall. The kind of member gives the
// field's wire type: a long, an integer, a call id (a whole number from 0),
// a text, a boolean, or the nine sequence numbers of a query.
using ObjectMember = std::variant<int32_t WorldObject::*, int16_t WorldObject::*, std::string WorldObject::*>;
using CallMember = std::variant<int32_t BotCall::*, int16_t BotCall::*, int64_t BotCall::*, std::string BotCall::*,
                                bool BotCall::*, std::array<int32_t, 9> BotCall::*, ObjectMember>;

struct CallField {
  std::string_view name;
  CallMember member;
};

struct CallInfo {
  std::string_view name;
  // In the order they are written and read.
  std::vector<CallField> fields;
};

// One row for each CallKind, in the order of the enum.
const std::array<CallInfo, 13>& callTable() {
  using B = BotCall;
  using O = WorldObject;
  static const std::array<CallInfo, 13> table = {{
      {"Init", {{"version", &B::value}}},
      {"StartBot",
       {{"id", &B::id}, {"citizen", &B::citizen}, {"password", &B::password}, {"botName", &B::botName},
        {"application", &B::application}, {"world", &B::world}, {"x", &B::x}, {"y", &B::y}, {"z", &B::z},
        {"reserved1", &B::reserved1}, {"reserved2", &B::reserved2}}},
      {"SectorFromCell", {{"id", &B::id}, {"cell", &B::value}}},
      {"Query", {{"sectorX", &B::sectorX}, {"sectorZ", &B::sectorZ}, {"sequence", &B::sequence}}},
      {"Wait", {{"ms", &B::value}}},
      {"Say", {{"text", &B::text}}},
      {"Whisper", {{"session", &B::value}, {"text", &B::text}}},
      {"Teleport",
       {{"session", &B::value}, {"TeleportX", &B::teleportX}, {"TeleportY", &B::teleportY},
        {"TeleportZ", &B::teleportZ}, {"TeleportWarp", &B::teleportWarp}}},
      {"ObjectChange",
       {{"ObjectOldNumber", &B::oldNumber}, {"ObjectOldX", &B::oldX}, {"ObjectOldZ", &B::oldZ},
        {"ObjectX", ObjectMember(&O::x)}, {"ObjectY", ObjectMember(&O::y)}, {"ObjectZ", ObjectMember(&O::z)},
        {"ObjectYaw", ObjectMember(&O::yaw)}, {"ObjectOwner", ObjectMember(&O::owner)},
        {"ObjectModel", ObjectMember(&O::model)}, {"ObjectDescription", ObjectMember(&O::description)},
        {"ObjectAction", ObjectMember(&O::action)}}},
      {"EventOff", {{"event", &B::value}}},
      {"EventOn", {{"event", &B::value}}},
      {"Destroy", {}},
      {"Term", {}},
  }};
  return table;
}

const CallInfo& callInfo(CallKind kind) { return callTable()[static_cast<std::size_t>(kind)]; }

std::optional<CallKind> callByName(std::string_view name) {
  for (std::size_t i = 0; i < callTable().size(); ++i)
    if (callTable()[i].name == name) return static_cast<CallKind>(i);
  return std::nullopt;
}

// Calls `use` with the member of `call` (a BotCall, const or not) that `field` names.
template <typename Call, typename F>
void withMember(Call& call, const CallField& field, F&& use) {
  std::visit(
      [&](auto member) {
        if constexpr (std::is_same_v<decltype(member), ObjectMember>) {
          std::visit([&](auto inner) { use(call.object.*inner); }, member);
        } else {
          use(call.*member);
        }
      },
      field.member);
}

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

json toJson(const AttributeValue& value) {
  return std::visit([](const auto& v) { return json(v); }, value);
}

// Reads the fields of one JSON object strictly: each field read is checked
// for its type and range, and `finish` fails on any field nobody read.
class FieldReader {
 public:
  explicit FieldReader(const json& object) : object_(object) {}

  bool whole(std::string_view key, int64_t min, int64_t max, int64_t& out) {
    const json* v = field(key);
    if (!v) return false;
    if (!v->is_number_integer()) return fail(std::string(key) + " is not a whole number");
    if (v->is_number_unsigned()) {
      if (v->get<uint64_t>() > static_cast<uint64_t>(max)) return fail(std::string(key) + " is out of range");
      out = static_cast<int64_t>(v->get<uint64_t>());
    } else {
      out = v->get<int64_t>();
    }
    if (out < min || out > max) return fail(std::string(key) + " is out of range");
    return true;
  }
  bool long32(std::string_view key, int32_t& out) {
    int64_t v = 0;
    if (!whole(key, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), v)) return false;
    out = static_cast<int32_t>(v);
    return true;
  }
  bool integer16(std::string_view key, int16_t& out) {
    int64_t v = 0;
    if (!whole(key, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), v)) return false;
    out = static_cast<int16_t>(v);
    return true;
  }
  bool text(std::string_view key, std::string& out) {
    const json* v = field(key);
    if (!v) return false;
    if (!v->is_string()) return fail(std::string(key) + " is not a text");
    out = v->get<std::string>();
    return true;
  }
  bool boolean(std::string_view key, bool& out) {
    const json* v = field(key);
    if (!v) return false;
    if (!v->is_boolean()) return fail(std::string(key) + " is not true or false");
    out = v->get<bool>();
    return true;
  }
  // Marks a field as read without looking at it (the message's kind).
  void skip(std::string_view key) { used_.insert(std::string(key)); }

  // Fails when a field was never read: a misspelt or unknown name.
  bool finish() {
    if (!error_.empty()) return false;
    for (const auto& [key, value] : object_.items())
      if (!used_.count(key)) return fail("unknown field " + key);
    return true;
  }
  const std::string& error() const { return error_; }

 private:
  const json* field(std::string_view key) {
    used_.insert(std::string(key));
    auto it = object_.find(key);
    if (it == object_.end()) {
      fail("missing field " + std::string(key));
      return nullptr;
    }
    return &*it;
  }
  bool fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  const json& object_;
  std::set<std::string, std::less<>> used_;
  std::string error_;
};

// Parses one line into a JSON object, or says why it is not one.
Result<json> parseObject(std::string_view line) {
  json j;
  try {
    j = json::parse(line);
  } catch (const json::exception& e) {
    // Not only syntax errors: a number too large for a double (1e999) is
    // refused with out_of_range, and must make the line malformed too.
    return Status::error(std::string("not JSON: ") + e.what());
  }
  if (!j.is_object()) return Status::error("not a JSON object");
  return j;
}

Status malformed(const std::string& what) { return Status::error("malformed message: " + what); }

// Reads a query's nine sequence numbers, or says why they are not.
std::optional<std::string> readSequence(const json& j, std::string_view key, std::array<int32_t, 9>& out) {
  auto seq = j.find(key);
  if (seq == j.end() || !seq->is_array() || seq->size() != 9) return "Query needs nine sequence numbers";
  for (std::size_t i = 0; i < 9; ++i) {
    const json& v = (*seq)[i];
    if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > INT32_MAX) ||
        (!v.is_number_unsigned() && (v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > INT32_MAX)))
      return "sequence number " + std::to_string(i + 1) + " is not a long";
    out[i] = static_cast<int32_t>(v.get<int64_t>());
  }
  return std::nullopt;
}

}  // namespace

std::string_view eventName(EventKind kind) { return eventInfo(kind).name; }

std::optional<EventKind> eventByName(std::string_view name) {
  for (const EventInfo& info : eventTable())
    if (info.name == name) return info.kind;
  return std::nullopt;
}

std::optional<EventKind> eventByNumber(int32_t number) {
  for (EventKind kind : kAllEvents)
    if (static_cast<int32_t>(kind) == number) return kind;
  return std::nullopt;
}

std::string_view callName(CallKind kind) { return callInfo(kind).name; }

WorldEvent& WorldEvent::set(std::string name, AttributeValue value) {
  for (Attribute& a : attributes) {
    if (a.name == name) {
      a.value = std::move(value);
      return *this;
    }
  }
  attributes.push_back({std::move(name), std::move(value)});
  return *this;
}

const AttributeValue* WorldEvent::find(std::string_view name) const {
  for (const Attribute& a : attributes)
    if (a.name == name) return &a.value;
  return nullptr;
}

std::string encodeCall(const BotCall& call) {
  json j;
  j["call"] = callName(call.kind);
  for (const CallField& field : callInfo(call.kind).fields)
    withMember(call, field, [&](const auto& value) { j[std::string(field.name)] = value; });
  return dump(j);
}

Result<BotCall> parseBotLine(std::string_view line) {
  Result<json> parsed = parseObject(line);
  if (!parsed.isOk()) return malformed(parsed.status().message());
  const json& j = parsed.value();
  auto kindField = j.find("call");
  if (kindField == j.end() || !kindField->is_string()) return malformed("no call name");
  std::optional<CallKind> kind = callByName(kindField->get<std::string>());
  if (!kind) return malformed("unknown call " + kindField->get<std::string>());

  BotCall call;
  call.kind = *kind;
  FieldReader r(j);
  r.skip("call");
  for (const CallField& field : callInfo(call.kind).fields) {
    bool good = true;
    std::optional<Status> refused;
    withMember(call, field, [&](auto& value) {
      using T = std::remove_reference_t<decltype(value)>;
      if constexpr (std::is_same_v<T, int32_t>) {
        good = r.long32(field.name, value);
      } else if constexpr (std::is_same_v<T, int16_t>) {
        good = r.integer16(field.name, value);
      } else if constexpr (std::is_same_v<T, int64_t>) {
        good = r.whole(field.name, 0, std::numeric_limits<int64_t>::max(), value);
      } else if constexpr (std::is_same_v<T, std::string>) {
        good = r.text(field.name, value);
      } else if constexpr (std::is_same_v<T, bool>) {
        good = r.boolean(field.name, value);
      } else {
        r.skip(field.name);
        if (std::optional<std::string> why = readSequence(j, field.name, value)) refused = malformed(*why);
      }
    });
    if (refused) return *refused;
    if (!good) break;
  }
  if (!r.finish()) return malformed(std::string(callName(call.kind)) + ": " + r.error());
  return call;
}

std::string encodeEvent(const WorldEvent& event) {
  json j;
  j["event"] = eventName(event.kind);
  for (const Attribute& a : event.attributes) j[a.name] = toJson(a.value);
  return dump(j);
}

std::string encodeReply(const Reply& reply) {
  json j;
  j["reply"] = callName(reply.call);
  j["id"] = reply.id;
  if (reply.call == CallKind::kStartBot) {
    j["rc"] = reply.value;
    j["session"] = reply.session;
  } else {
    j["sector"] = reply.value;
  }
  return dump(j);
}

std::string encodeNotice(const Notice& notice) {
  json j;
  j["error"] = notice.message;
  return dump(j);
}

Result<WorldMessage> parseWorldLine(std::string_view line) {
  Result<json> parsed = parseObject(line);
  if (!parsed.isOk()) return malformed(parsed.status().message());
  const json& j = parsed.value();

  if (auto e = j.find("error"); e != j.end()) {
    FieldReader r(j);
    Notice notice;
    if (!r.text("error", notice.message) || !r.finish()) return malformed(r.error());
    return WorldMessage(notice);
  }

  if (auto rep = j.find("reply"); rep != j.end()) {
    FieldReader r(j);
    r.skip("reply");
    Reply reply;
    std::optional<CallKind> kind = rep->is_string() ? callByName(rep->get<std::string>()) : std::nullopt;
    if (kind == CallKind::kStartBot) {
      reply.call = *kind;
      r.whole("id", 0, std::numeric_limits<int64_t>::max(), reply.id) && r.long32("rc", reply.value) &&
          r.long32("session", reply.session);
    } else if (kind == CallKind::kSectorFromCell) {
      reply.call = *kind;
      r.whole("id", 0, std::numeric_limits<int64_t>::max(), reply.id) && r.long32("sector", reply.value);
    } else {
      return malformed("a reply to a call that returns nothing");
    }
    if (!r.finish()) return malformed(r.error());
    return WorldMessage(reply);
  }

  auto name = j.find("event");
  if (name == j.end() || !name->is_string()) return malformed("neither an event, a reply nor an error");
  std::optional<EventKind> kind = eventByName(name->get<std::string>());
  if (!kind) return malformed("unknown event " + name->get<std::string>());

  WorldEvent event;
  event.kind = *kind;
  for (const auto& [key, value] : j.items()) {
    if (key == "event") continue;
    const SdkAttribute* info = findSdkAttribute(key);
    if (!info) return malformed("unknown attribute " + key);
    FieldReader r(j);
    AttributeValue parsedValue;
    bool ok = std::visit(
        // The key is named in the capture list because clang 14 (the fuzz
        // build's compiler) cannot capture a structured binding implicitly.
        [&, &key = key](auto member) {
          using T = std::remove_reference_t<decltype(std::declval<WorldSdk&>().*member)>;
          T v{};
          bool good;
          if constexpr (std::is_same_v<T, int32_t>) {
            good = r.long32(key, v);
            parsedValue = v;
          } else if constexpr (std::is_same_v<T, int16_t>) {
            good = r.integer16(key, v);
            parsedValue = static_cast<int32_t>(v);
          } else if constexpr (std::is_same_v<T, std::string>) {
            good = r.text(key, v);
            parsedValue = v;
          } else {
            good = r.boolean(key, v);
            parsedValue = v;
          }
          return good;
        },
        info->member);
    if (!ok) return malformed(std::string(eventName(event.kind)) + ": " + r.error());
    event.attributes.push_back({key, std::move(parsedValue)});
  }
  for (std::string_view required : eventInfo(event.kind).required)
    if (!event.find(required))
      return malformed(std::string(eventName(event.kind)) + ": missing attribute " + std::string(required));
  return WorldMessage(event);
}

void takeAttributes(BotCall& call, const WorldSdk& sdk) {
  for (const CallField& field : callInfo(call.kind).fields) {
    const SdkAttribute* attribute = findSdkAttribute(field.name);
    if (!attribute) continue;
    withMember(call, field, [&](auto& value) {
      std::visit(
          [&](auto member) {
            if constexpr (std::is_same_v<std::remove_reference_t<decltype(value)>,
                                         std::remove_cvref_t<decltype(sdk.*member)>>) {
              value = sdk.*member;
            }
          },
          attribute->member);
    });
  }
}

void applyAttributes(const WorldEvent& event, WorldSdk& sdk) {
  for (const Attribute& a : event.attributes) {
    const SdkAttribute* info = findSdkAttribute(a.name);
    if (!info) continue;
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(sdk.*member)>;
          if constexpr (std::is_same_v<T, int32_t>) {
            if (auto v = std::get_if<int32_t>(&a.value)) sdk.*member = *v;
          } else if constexpr (std::is_same_v<T, int16_t>) {
            if (auto v = std::get_if<int32_t>(&a.value)) sdk.*member = static_cast<int16_t>(*v);
          } else if constexpr (std::is_same_v<T, std::string>) {
            if (auto v = std::get_if<std::string>(&a.value)) sdk.*member = *v;
          } else {
            if (auto v = std::get_if<bool>(&a.value)) sdk.*member = *v;
          }
        },
        info->member);
  }
}

}  // namespace kelva::net
