#include "world/ports/web_message.h"

#include <array>
#include <limits>
#include <nlohmann/json.hpp>

namespace kelva::world {

using json = nlohmann::json;

namespace {

struct KindName {
  WebRequest::Kind kind;
  std::string_view name;
  // The fields the type carries; "password" alone is optional.
  std::array<std::string_view, 2> fields;
};

constexpr std::array<KindName, 8> kKinds = {{
    {WebRequest::Kind::kLogin, "login", {"name", "password"}},
    {WebRequest::Kind::kRegister, "register", {"name", "password"}},
    {WebRequest::Kind::kChat, "chat", {"text", ""}},
    {WebRequest::Kind::kTell, "tell", {"to", "text"}},
    {WebRequest::Kind::kClick, "click", {"object", ""}},
    {WebRequest::Kind::kAttack, "attack", {"name", ""}},
    {WebRequest::Kind::kMove, "move", {"x", "z"}},
    {WebRequest::Kind::kQuit, "quit", {"", ""}},
}};

Status fieldError(std::string_view type, std::string_view field, std::string_view what) {
  return Status::error(std::string(type) + ": \"" + std::string(field) + "\" " + std::string(what));
}

}  // namespace

Result<WebRequest> parseWebMessage(std::string_view message) {
  if (message.size() > kMaxWebMessage)
    return Status::error("the message is longer than " + std::to_string(kMaxWebMessage) + " bytes");
  json j;
  try {
    j = json::parse(message);
  } catch (const json::exception&) {
    return Status::error("the message is not JSON");
  }
  if (!j.is_object()) return Status::error("the message is not a JSON object");
  auto type = j.find("type");
  if (type == j.end() || !type->is_string()) return Status::error("the message has no \"type\"");
  const std::string& typeName = type->get_ref<const std::string&>();
  const KindName* kind = nullptr;
  for (const KindName& k : kKinds)
    if (k.name == typeName) kind = &k;
  if (!kind) return Status::error("there is no message type \"" + typeName + "\"");

  for (const auto& [key, value] : j.items()) {
    if (key == "type") continue;
    bool known = false;
    for (std::string_view f : kind->fields) known = known || (!f.empty() && f == key);
    if (!known) return fieldError(typeName, key, "is not a field of this message");
  }
  WebRequest r;
  r.kind = kind->kind;
  auto text = [&](std::string_view field, std::string& out) -> Status {
    auto it = j.find(std::string(field));
    if (it == j.end()) return fieldError(typeName, field, "is missing");
    if (!it->is_string()) return fieldError(typeName, field, "must be a text");
    out = it->get<std::string>();
    return Status::ok();
  };
  auto number = [&](std::string_view field, int32_t& out) -> Status {
    auto it = j.find(std::string(field));
    if (it == j.end()) return fieldError(typeName, field, "is missing");
    if (!it->is_number_integer()) return fieldError(typeName, field, "must be a whole number");
    bool fits = it->is_number_unsigned()
                    ? it->get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
                    : it->get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                          it->get<int64_t>() <= std::numeric_limits<int32_t>::max();
    if (!fits) return fieldError(typeName, field, "is out of range");
    out = static_cast<int32_t>(it->get<int64_t>());
    return Status::ok();
  };
  Status s = Status::ok();
  switch (r.kind) {
    case WebRequest::Kind::kLogin:
      s = text("name", r.name);
      if (s.isOk() && j.contains("password")) {
        r.password.emplace();
        s = text("password", *r.password);
      }
      break;
    case WebRequest::Kind::kRegister:
      s = text("name", r.name);
      if (s.isOk()) s = text("password", r.password.emplace());
      break;
    case WebRequest::Kind::kChat:
      s = text("text", r.text);
      break;
    case WebRequest::Kind::kTell:
      s = text("to", r.name);
      if (s.isOk()) s = text("text", r.text);
      break;
    case WebRequest::Kind::kClick:
      s = number("object", r.number);
      break;
    case WebRequest::Kind::kAttack:
      s = text("name", r.name);
      break;
    case WebRequest::Kind::kMove:
      s = number("x", r.x);
      if (s.isOk()) s = number("z", r.z);
      break;
    case WebRequest::Kind::kQuit:
      break;
  }
  if (!s.isOk()) return s;
  return r;
}

namespace web {
namespace {
// One message: its type and its fields, in that order of writing.
std::string message(const char* type, json fields) {
  fields["type"] = type;
  return fields.dump(-1, ' ', false, json::error_handler_t::replace);
}
}  // namespace

std::string welcome(std::string_view worldName) { return message("welcome", {{"world", worldName}}); }

std::string password(std::string_view name, std::string_view text) {
  return message("password", {{"name", name}, {"text", text}});
}

std::string refused(std::string_view text) { return message("refused", {{"text", text}}); }

std::string entered(std::string_view name, int32_t session, int32_t x, int32_t y, int32_t z) {
  return message("entered", {{"name", name}, {"session", session}, {"x", x}, {"y", y}, {"z", z}});
}

std::string avatar(int32_t session, std::string_view name, bool bot, int32_t x, int32_t y, int32_t z) {
  return message("avatar", {{"session", session}, {"name", name}, {"bot", bot}, {"x", x}, {"y", y}, {"z", z}});
}

std::string avatarGone(int32_t session) { return message("avatar-gone", {{"session", session}}); }

std::string object(int32_t number, std::string_view model, std::string_view description, int32_t x, int32_t y,
                   int32_t z, int32_t yaw, std::string_view label) {
  return message("object", {{"number", number},
                            {"model", model},
                            {"description", description},
                            {"label", label},
                            {"x", x},
                            {"y", y},
                            {"z", z},
                            {"yaw", yaw}});
}

std::string objectGone(int32_t number) { return message("object-gone", {{"number", number}}); }

std::string chat(int32_t session, std::string_view name, std::string_view text) {
  return message("chat", {{"session", session}, {"name", name}, {"text", text}});
}

std::string whisper(std::string_view name, std::string_view text) {
  return message("whisper", {{"name", name}, {"text", text}});
}

std::string tell(std::string_view name, std::string_view text) {
  return message("tell", {{"name", name}, {"text", text}});
}

std::string echo(std::string_view text, std::string_view to) {
  json fields = {{"text", text}};
  if (!to.empty()) fields["to"] = to;
  return message("echo", std::move(fields));
}

std::string worldText(std::string_view text) { return message("world", {{"text", text}}); }

std::string error(std::string_view text) { return message("error", {{"text", text}}); }

}  // namespace web
}  // namespace kelva::world
