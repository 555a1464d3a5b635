// The rules for a new account: the world must take sign-ups (`"signUp"` in
// the world file), the name must be one a player may log in with, and one
// the game can serve and nobody can mistake: no comma (the bot's commands
// split names at commas, so it could never find such a character), no
// double quote first (guests are shown in quotes), and neither registered
// already nor looking like a registered name (lookAlikeFold).
#pragma once

#include <string>
#include <string_view>

#include "world/core/world_core.h"

namespace kelva::world {

// Why `name` cannot be an account's name whoever makes it (a player or the
// host), or "" when it can; the store is not asked.
std::string accountNameProblem(std::string_view name);

// Why `name` with `password` cannot be signed up now, or "" when it can.
std::string signUpProblem(const WorldCore& core, std::string_view name, std::string_view password);

}  // namespace kelva::world
