// The operator's changes to the roster, one procedure each, for the roster
// tool on a stopped bot's stats file and for the console of a running bot.
//
// A guest's avatar is shown by the world in double quotes ("mira"); when the
// player signs up, the account is the bare name (mira) and the game sees a
// new avatar with no character. Moving the guest's character to the account
// name lets the player keep it.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "data/player_record.h"
#include "data/result.h"

namespace kelva {

// A name the world gives guests: in double quotes.
bool isGuestName(const std::string& name);

// Moves the character called exactly `from` (a guest) to `to` (an account
// name), in place. Refused, with the reason and nothing changed, when no
// character is called `from`, `from` is not a guest's name, `to` is a guest's
// name or a name the stats file cannot hold (empty, a comma, a line break),
// or a character is already called `to`: the two characters are never
// merged and neither is lost.
Status renameCharacter(std::span<PlayerRecord> records, const std::string& from, const std::string& to);

// Takes the guests out of `records`, except those `keep` names, closing the
// gaps in order. Returns how many records are left (they come first); the
// rest of the span is left as empty records.
std::size_t removeGuests(std::span<PlayerRecord> records, const std::function<bool(const std::string&)>& keep);

}  // namespace kelva
