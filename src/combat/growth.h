// Levelling, paid healing and the clan bonuses on one character.
#pragma once

#include <cstdint>
#include <string>

namespace kelva {
class Form1;
}

namespace kelva::combat {

// Raises the named character one level when the experience allows.
// Returns true when the level was raised. A 32-bit overflow part-way raises
// GameError and keeps what was changed before it.
bool levelup(Form1& form, int32_t session, const std::string& name);
// Sells `hp` hit points for `cost` gold to the named character.
void heal(Form1& form, int32_t session, const std::string& name, int32_t cost, int32_t hp);
// Stores the current values as base values and applies the clan bonuses.
// An overflow part-way keeps what was changed before it: callers that must
// change nothing on failure (purchases, clan joins) restore the record.
void clanastats(Form1& form, int ploc);
// Puts the base values back, removing the clan bonuses.
void clandstats(Form1& form, int ploc);

}  // namespace kelva::combat
