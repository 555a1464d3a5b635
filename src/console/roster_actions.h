// The roster tool's actions on a running bot, where they are safe: moving a
// guest's character to the account name the player signed up with, and
// removing the guests who are not online. The same procedures as the
// offline tool (data/roster_edits.h), with the same refusals, and more that
// only a running game has: a character whose avatar is online or who is in
// a battle is never touched.
//
// Each writes the stats file before it returns: an answer of done means the
// change is on disk. When the file cannot be written the roster is put back
// as it was, so the game never plays on with a change the disk does not hold.
// Call them between rounds, never inside one.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "data/result.h"

namespace kelva {
class Form1;
}

namespace kelva::console {

using IsOnline = std::function<bool(const std::string& name)>;

Status renameGuestCharacter(Form1& form, const std::string& from, const std::string& to, const IsOnline& online);

// How many guests were removed.
Result<std::size_t> removeOfflineGuests(Form1& form, const IsOnline& online);

}  // namespace kelva::console
