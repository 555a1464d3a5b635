// The web port's messages: what a browser sends the world and what the world
// sends back, each one JSON object in one WebSocket text frame
// (docs/web_protocol.md describes them for people).
//
// Reading is strict, as on the bot port: an unknown type, a missing or
// unknown field, a field of the wrong type or a number outside its range
// makes the whole message malformed, so a half-understood message never
// changes anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/result.h"

namespace kelva::world {

// The largest message a browser may send, in bytes: room for a 1000-byte
// line with every character escaped, and not much more.
inline constexpr std::size_t kMaxWebMessage = 8 * 1024;

struct WebRequest {
  enum class Kind {
    kLogin,     // name, password (a guest gives none)
    kRegister,  // name, password: a new account, then in as a log-in
    kChat,    // text: a line as typed on the player port ("." actions included)
    kTell,    // name: to whom; text
    kClick,   // number: the object
    kAttack,  // name: the avatar clicked, as the world shows it
    kMove,    // x, z
    kQuit,
  };
  Kind kind = Kind::kChat;
  std::string name;
  std::optional<std::string> password;
  std::string text;
  int32_t number = 0;
  int32_t x = 0;
  int32_t z = 0;
};

// Reads one message from a browser; the error says what is wrong with it.
Result<WebRequest> parseWebMessage(std::string_view message);

// The world's messages to a browser, already encoded. Texts that are not
// UTF-8 are sent with each bad byte replaced by U+FFFD.
namespace web {
std::string welcome(std::string_view worldName);
std::string password(std::string_view name, std::string_view text);
std::string refused(std::string_view text);
std::string entered(std::string_view name, int32_t session, int32_t x, int32_t y, int32_t z);
std::string avatar(int32_t session, std::string_view name, bool bot, int32_t x, int32_t y, int32_t z);
std::string avatarGone(int32_t session);
std::string object(int32_t number, std::string_view model, std::string_view description, int32_t x, int32_t y,
                   int32_t z, int32_t yaw, std::string_view label);
std::string objectGone(int32_t number);
std::string chat(int32_t session, std::string_view name, std::string_view text);
std::string whisper(std::string_view name, std::string_view text);
std::string tell(std::string_view name, std::string_view text);
// The echo of the player's own line; `to` names the avatar of a tell.
std::string echo(std::string_view text, std::string_view to = {});
// A message of the world's own, as the player port writes it after "* ".
std::string worldText(std::string_view text);
std::string error(std::string_view text);
}  // namespace web

}  // namespace kelva::world
