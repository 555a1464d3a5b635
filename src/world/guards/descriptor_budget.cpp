#include "world/guards/descriptor_budget.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kelva::world {

DescriptorLimit raiseDescriptorLimit() {
  DescriptorLimit result;
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) {
    result.problem = std::string("cannot read the limit on open files: ") + std::strerror(errno);
    return result;
  }
  result.before = lim.rlim_cur;
  result.soft = lim.rlim_cur;
  result.hard = lim.rlim_max;
  if (lim.rlim_cur == lim.rlim_max) return result;
  // An unlimited hard limit cannot be the soft one on Linux (the kernel caps
  // it at fs.nr_open): try the kernel's usual ceiling, then smaller ones.
  for (rlim_t want : {lim.rlim_max, rlim_t{1} << 20, rlim_t{1} << 16}) {
    if (want > lim.rlim_max || want <= lim.rlim_cur) continue;
    rlimit raised{want, lim.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
      result.soft = want;
      result.problem.clear();
      return result;
    }
    result.problem = std::string("cannot raise the limit on open files: ") + std::strerror(errno);
  }
  return result;
}

CapacityPlan planCapacity(uint64_t descriptorLimit, std::size_t askedPlayers, std::size_t otherConnections) {
  CapacityPlan plan;
  uint64_t usable = descriptorLimit > kReservedDescriptors ? descriptorLimit - kReservedDescriptors : 0;
  plan.connections = static_cast<std::size_t>(std::min<uint64_t>(usable, SIZE_MAX));
  std::size_t forPlayers = plan.connections > otherConnections ? plan.connections - otherConnections : 0;
  plan.maxPlayers = std::min(askedPlayers, forPlayers);
  if (plan.maxPlayers < askedPlayers)
    // Lowered rather than refused: the world still opens, and holds as many
    // as it truly can instead of failing at accept when it is busiest.
    plan.message = "--max-players " + std::to_string(askedPlayers) + " is more than the " +
                   std::to_string(descriptorLimit) + " open files allowed can hold beside " +
                   std::to_string(otherConnections) + " other connections; the world holds " +
                   std::to_string(plan.maxPlayers) + " players (raise the hard limit, ulimit -Hn, for more)";
  return plan;
}

}  // namespace kelva::world
