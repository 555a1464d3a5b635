// The limits every kind of connection to the world shares: how long a line
// may be, how much unsent output a client may leave behind, how fast a
// player may type, and how long a connection may take to choose a name.
//
// Every port reads its limits from here and uses the same pieces to apply
// them, so a new kind of connection cannot forget one.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelva::world {

struct ConnectionLimits {
  std::size_t maxPlayerLine = 1000;
  std::size_t playerOutputLimit = 256 * 1024;
  std::size_t botOutputLimit = 16 * 1024 * 1024;
  // A player may type this many lines a second, in bursts of up to `playerLineBurst`.
  double playerLinesPerSecond = 10.0;
  double playerLineBurst = 30.0;
  // A connection that has not chosen a name (and given its password) after
  // this long is closed.
  int nameTimeoutSeconds = 60;

  // Player connections (of every player port together) from one source
  // address; 0: no cap.
  std::size_t maxPlayersPerAddress = 20;
  // Player connections that have not logged in yet (a browser's page loads
  // count too): in all and from one address. Past either, the oldest waiting
  // connection of the busiest address is let go, so strangers who connect
  // and say nothing never fill the world's places nor keep a newcomer out.
  std::size_t maxPlayersNotLoggedIn = 128;
  std::size_t maxPlayersNotLoggedInPerAddress = 16;
  // A player who sends no line for this long is dropped, warned a minute
  // before; 0: never.
  std::chrono::seconds idleTimeout{std::chrono::minutes(30)};
  // Bot connections that have not logged in yet: in all, and from one
  // address (past either, the oldest waiting one of the busiest address is
  // let go); each must send StartBot within `botLogInSeconds`, which a bot
  // does at once. Until it has logged in, a bot connection may leave only a
  // little output unsent: it has asked for nothing worth more.
  std::size_t maxBotsNotLoggedIn = 16;
  std::size_t maxBotsNotLoggedInPerAddress = 4;
  int botLogInSeconds = 3;
  std::size_t botOutputBeforeLogIn = 64 * 1024;
  // TCP keep-alive on every socket: the first probe after this long without
  // traffic, then one every `interval`, and the peer is dead after `probes`
  // unanswered ones (60 + 4 x 15 s: a cut connection is noticed within about
  // two minutes). Unacknowledged output gives up after as long.
  struct KeepAlive {
    int idleSeconds = 60;
    int intervalSeconds = 15;
    int probes = 4;
  } keepAlive;
};

// Whether a client's unsent output may grow by `adding` bytes. A client past
// the bound does not read what it is sent: holding more would let one client
// eat the world's memory, and waiting would stall everyone, so it is closed.
inline bool outputFits(std::size_t unsent, std::size_t adding, std::size_t limit) {
  return unsent + adding <= limit;
}
// The reason logged when a client is closed for not reading.
std::string notReadingReason(std::size_t limit);

// A player's typing allowance: lines beyond the allowed rate are dropped, so
// one player cannot bury the bot and the others under a flood.
class FloodBucket {
 public:
  using Clock = std::chrono::steady_clock;

  FloodBucket(double perSecond, double burst);

  struct Take {
    bool allowed = true;
    // Only when the line is dropped: whether to tell the player (at most
    // once a second), and how many lines were dropped so far.
    bool warn = false;
    uint64_t dropped = 0;
  };
  Take take(Clock::time_point now = Clock::now());

 private:
  double perSecond_;
  double burst_;
  double tokens_;
  Clock::time_point lastRefill_;
  Clock::time_point lastWarning_{};
  uint64_t dropped_ = 0;
};

}  // namespace kelva::world
