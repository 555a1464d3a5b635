// The world file's registered players, brought into the account store when
// the world starts. A player the store does not know yet is added with the
// file's hash, or with a hash made now of the file's plain password (a demo's
// convenience, warned about: the file is readable by everyone). A player the
// store knows keeps the store's hash, since the player may have changed the
// password since; the file is only the first state. A player the file
// makes an administrator is one in the store too, also one it knew already.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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

// The longest ban with an end: ten years, in minutes. Longer is a ban
// without an end, which is what leaving the minutes out gives.
inline constexpr int64_t kMostBanMinutes = 10LL * 365 * 24 * 60;

// The end (seconds since the epoch) of a ban of `minutes` from `now`; an
// error, meant for whoever typed it, when `minutes` is not a whole number
// from 1 to kMostBanMinutes.
Result<int64_t> banEndFrom(std::string_view minutes, int64_t now);

// How a ban's end is told: "until 2027-01-31 18:05 UTC", or "until an
// administrator lifts the ban" for one without an end.
std::string banEndText(int64_t until);

}  // namespace kelva::world
