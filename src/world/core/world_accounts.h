// The world file's registered players, brought into the account store when
// the world starts. A player the store does not know yet is added with the
// file's hash, or with a hash made now of the file's plain password (a demo's
// convenience, warned about: the file is readable by everyone). A player the
// store knows keeps the store's hash, since the player may have changed the
// password since; the file is only the first state.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "auth/password_hash.h"
#include "data/result.h"
#include "world/core/world_file.h"
#include "world/store/account_store.h"

namespace kelva::world {

// Adds the missing players to `store`; `warn` hears each plain password. An
// error (a hash that cannot be made or written) names the player.
Status importPlayers(AccountStore& store, const std::vector<PlayerAccount>& players, auth::HashCost cost,
                     const std::function<void(const std::string&)>& warn);

}  // namespace kelva::world
