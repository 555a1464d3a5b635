// The world file: everything a world server hosts, read at start-up
// (docs/world_file.md describes the format for operators).
//
// The server only reads this file; it never writes it, so a shipped demo
// world stays as it is and the bot's changes to objects (picked shrooms) last
// as long as the server runs. Its players are brought into the world's
// account store at start (world_accounts.h), which holds them from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/result.h"
#include "world/core/world_state.h"

namespace kelva::world {

// A bot account: the citizen number and privilege password StartBot must give.
struct BotAccount {
  int32_t citizen = 0;
  std::string password;
};

// A registered player: nobody else may use this name. The world file gives
// either the password's hash (what `kelva-world hash-password` prints) or,
// for a demo, the password itself, which is hashed into the store at start.
struct PlayerAccount {
  std::string name;
  std::string password;
  std::string passwordHash;
  // An administrator of the world: may kick, ban and announce.
  bool admin = false;
};

struct WorldDefinition {
  std::string name;
  // Where arriving players stand.
  int32_t entryX = 0;
  int32_t entryY = 0;
  int32_t entryZ = 0;
  // How far (in units, on the ground plane) players hear chat and see and
  // click objects.
  int32_t nearRange = 20000;
  // The most cells one answer to a bot's query holds; 0 answers every query
  // in one round.
  int32_t queryCellsPerAnswer = 100;
  // Whether unregistered names may enter as guests, and how many at once
  // (no cap beyond the world's player cap when unset).
  bool guests = true;
  std::optional<std::size_t> maxGuests;
  // Whether players may make their own accounts (sign-up).
  bool signUp = true;
  std::vector<BotAccount> bots;
  std::vector<PlayerAccount> players;
  std::vector<WorldObject> objects;
};

// The longest avatar name the world accepts, in bytes.
inline constexpr std::size_t kMaxNameLength = 32;

// Why `name` cannot be an avatar's name, or "" when it can: 1 to 32 bytes of
// UTF-8 text without control characters or blanks at either end.
std::string nameProblem(std::string_view name);
// The longest object label, in bytes: a tag over the object, not a sentence.
inline constexpr std::size_t kMaxLabelLength = 40;

// Why `label` cannot be an object's label, or "" when it can: empty (no
// label), or up to 40 bytes of UTF-8 text without control characters.
std::string labelProblem(std::string_view label);
// Why `text` cannot travel as a player's line, or "" when it can: it must be
// UTF-8 without control characters (a tab is allowed).
std::string textProblem(std::string_view text);

// Reads a world file whole; any error names the file and the place in it.
Result<WorldDefinition> parseWorldFile(std::string_view text, const std::string& fileName);
Result<WorldDefinition> loadWorldFile(const std::string& path);

}  // namespace kelva::world
