// The web port's reading of a browser's message, on any bytes: a message is
// taken whole with every field its type needs, or refused with a reason;
// nothing throws.
#include <nlohmann/json.hpp>

#include "fuzz/fuzz_input.h"
#include "world/ports/web_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  using Kind = world::WebRequest::Kind;
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  Result<world::WebRequest> r = world::parseWebMessage(message);
  if (!r.isOk()) {
    if (r.status().message().empty()) fuzz::broken("a refusal without a reason");
    return 0;
  }
  if (size > world::kMaxWebMessage) fuzz::broken("an oversized message was taken");
  // A message taken must be the JSON object it claims to be, with that type.
  nlohmann::json j = nlohmann::json::parse(message);
  const std::string type = j.at("type").get<std::string>();
  const world::WebRequest& w = r.value();
  switch (w.kind) {
    case Kind::kLogin:
      if (type != "login" || j.at("name") != w.name) fuzz::broken("login read wrong");
      if (j.contains("password") != w.password.has_value()) fuzz::broken("password presence read wrong");
      break;
    case Kind::kRegister:
      if (type != "register" || j.at("name") != w.name || !w.password || j.at("password") != *w.password)
        fuzz::broken("register read wrong");
      break;
    case Kind::kChat:
      if (type != "chat" || j.at("text") != w.text) fuzz::broken("chat read wrong");
      break;
    case Kind::kTell:
      if (type != "tell" || j.at("to") != w.name || j.at("text") != w.text) fuzz::broken("tell read wrong");
      break;
    case Kind::kClick:
      if (type != "click" || j.at("object") != w.number) fuzz::broken("click read wrong");
      break;
    case Kind::kAttack:
      if (type != "attack" || j.at("name") != w.name) fuzz::broken("attack read wrong");
      break;
    case Kind::kMove:
      if (type != "move" || j.at("x") != w.x || j.at("z") != w.z) fuzz::broken("move read wrong");
      break;
    case Kind::kQuit:
      if (type != "quit" || j.size() != 1) fuzz::broken("quit read wrong");
      break;
  }
  return 0;
}
