// What the world tells a player, in words, the same for every kind of player
// connection: arrivals and departures, the answers of the log-in, and the
// deadlines. Each text is given without the "* " the line port puts before
// the world's own lines; the web port sends it as it is.
#pragma once

#include <chrono>
#include <string>

#include "world/guards/connection_timeouts.h"
#include "world/core/player_login.h"
#include "world/core/world_core.h"

namespace kelva::world {

// "Ann arrives.", "Kelva enters the world.", "Ann comes near.", ...
std::string arrivalText(const Avatar& who, Arrival how);
// "Ann leaves.", "Ann walks away.", "Ann vanishes.", ...
std::string departureText(const Avatar& who, Departure how);
// What the player is told of a log-in step; "" for kRegistered, which says
// nothing before the world's welcome.
std::string loginText(const PlayerLogin::Outcome& outcome);
// What the player is told when a deadline passes; "" for kNothing.
std::string deadlineText(ConnectionTimeouts::Due due, std::chrono::seconds idleTimeout);

}  // namespace kelva::world
