#include "world/guards/safeguards.h"

#include <algorithm>

namespace kelva::world {

namespace {

CapLimits playerCaps(const ConnectionLimits& limits, std::size_t maxPlayers) {
  return {maxPlayers, limits.maxPlayersPerAddress, limits.maxPlayersNotLoggedIn,
          limits.maxPlayersNotLoggedInPerAddress};
}

CapLimits botCaps(const ConnectionLimits& limits) {
  return {0, 0, limits.maxBotsNotLoggedIn, limits.maxBotsNotLoggedInPerAddress};
}

}  // namespace

Safeguards::Safeguards(const ConnectionLimits& limits, std::size_t maxPlayers, const Sink& log)
    : throttle(ThrottleOptions{}, log), players(playerCaps(limits, maxPlayers)), bots(botCaps(limits)), log_(log) {}

void Safeguards::setCaps(const ConnectionLimits& limits, std::size_t maxPlayers) {
  players.setLimits(playerCaps(limits, maxPlayers));
  bots.setLimits(botCaps(limits));
}

void Safeguards::logOnce(std::string_view key, std::string line) {
  log_.write(key, std::move(line), std::chrono::steady_clock::now());
}

void Safeguards::housekeeping() {
  auto now = std::chrono::steady_clock::now();
  log_.flush(now);
  throttle.sweep(now);
}

TimeoutLimits Safeguards::playerTimeouts(const ConnectionLimits& limits) {
  return {std::chrono::seconds(limits.nameTimeoutSeconds), limits.idleTimeout, idleWarningLead(limits.idleTimeout)};
}

TimeoutLimits Safeguards::botTimeouts(const ConnectionLimits& limits) {
  return {std::chrono::seconds(limits.botLogInSeconds), std::chrono::seconds(0), std::chrono::seconds(0)};
}

std::chrono::seconds idleWarningLead(std::chrono::seconds idle) {
  return std::min<std::chrono::seconds>(std::chrono::minutes(1), idle / 2);
}

std::string spokenDuration(std::chrono::seconds d) {
  long long s = d.count();
  if (s >= 60 && s % 60 == 0) return std::to_string(s / 60) + (s == 60 ? " minute" : " minutes");
  return std::to_string(s) + (s == 1 ? " second" : " seconds");
}

}  // namespace kelva::world
