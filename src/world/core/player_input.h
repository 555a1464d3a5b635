// What a player's line asks for.
//
// A line that starts with "." and a letter is a world action (".look",
// ".who", ".click 12", ".attack Ann", ".move 1200 -300", ".tell Kelvabot hi",
// ".where", ".help", ".quit"); action words are matched without regard to case. Every
// other line is chat, passed on exactly as typed: the game's own commands
// start with "/" or a plain word, never with ".", so the two cannot collide,
// and a chat line such as "..." or ". ok" stays chat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelva::world {

enum class PlayerActionKind {
  kNothing,  // an empty line
  kChat,
  kLook,
  kWho,
  kClick,
  kAttack,
  kMove,
  kWhere,
  kTell,
  kHelp,
  kQuit,
  kUnknown,  // an action word the world does not know: `text` holds it
  kMisused,  // a known action with wrong arguments: `text` says how to use it
};

struct PlayerAction {
  PlayerActionKind kind = PlayerActionKind::kNothing;
  std::string text;     // chat: the line; attack: the name; tell: the name and the words
  int32_t number = 0;   // click: the object number
  int32_t x = 0;        // move: where to
  int32_t z = 0;
};

PlayerAction parsePlayerLine(std::string_view line);

// The one-line summary of the actions that .help shows.
extern const char* const kHelpLine;

}  // namespace kelva::world
