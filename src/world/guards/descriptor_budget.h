// How many connections the world can hold with the descriptors it may open.
//
// At start the world raises its soft limit on open descriptors to the hard
// limit (Debian's usual soft limit, 1024, is far below what a full world
// needs), then works out how many player connections fit beside the bots,
// the connections still logging in and the descriptors the server keeps for
// itself. A `--max-players` beyond that is lowered, and the operator is told.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelva::world {

struct DescriptorLimit {
  uint64_t soft = 0;  // after raising
  uint64_t hard = 0;
  uint64_t before = 0;  // the soft limit found at start
  std::string problem;  // set when it could not be raised
};

// Raises the soft limit to the hard one (or as near as the system allows).
DescriptorLimit raiseDescriptorLimit();

// Descriptors the server keeps for itself: listening sockets, the event
// loop's own, standard streams, log and world files, with room to spare.
inline constexpr std::size_t kReservedDescriptors = 64;

struct CapacityPlan {
  std::size_t maxPlayers = 0;  // what the world will hold
  std::size_t connections = 0;  // every connection the descriptors allow
  std::string message;          // set when the asked maximum was lowered
};

// Plans for `askedPlayers` player connections beside `otherConnections`
// (bots, connections logging in on other ports) under `descriptorLimit`.
CapacityPlan planCapacity(uint64_t descriptorLimit, std::size_t askedPlayers, std::size_t otherConnections);

}  // namespace kelva::world
