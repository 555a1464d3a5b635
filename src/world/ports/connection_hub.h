// What every port's connections share: the event loop, the world's log,
// the limits, the safeguards (log-in throttle, connection caps, the log of
// repeated events), the set of open line connections, which owns them, and
// the rounds in which their output is written.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <boost/asio.hpp>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "world/guards/connection_limits.h"
#include "world/guards/connection_timeouts.h"
#include "auth/password_hash.h"
#include "world/guards/safeguards.h"
#include "world/guards/sign_up_throttle.h"
#include "world/ports/hash_workers.h"
#include "world/ports/world_metrics.h"

namespace kelva::world {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;

class SocketConnection;

struct ConnectionHub {
  ConnectionHub(asio::io_context& context, std::ostream& logStream, ConnectionLimits connectionLimits,
                std::size_t maxPlayers)
      : io(context), limits(connectionLimits),
        guards(connectionLimits, maxPlayers, [this](const std::string& line) { log(line); }), log_(logStream),
        writeTimer_(context), holdTimer_(context) {}

  // One insertion for the whole line: the bot that hosts the world writes
  // to the same terminal from another thread, and lines must not interleave.
  void log(const std::string& line) { log_ << ("kelva-world: " + line + "\n") << std::flush; }

  // Output is written in rounds: a connection sent lines is noted here, and
  // one round writes each noted connection's lines with one call, however
  // many there are. A round runs after the current turn of the event loop;
  // after a round that took long (a crowd of 2,000 each hearing an arrival),
  // the next waits three times as long as that one took, up to 15 ms, so
  // that the world spends time on the world between rounds and lines pile
  // up into fewer writes instead of one write per listener per line. An
  // idle world's rounds take microseconds, so its lines go out at once.
  void noteOutput(std::shared_ptr<SocketConnection> connection);
  // A connection holds a line that may wait (see SocketConnection::sendSoon):
  // unless a round has written it meanwhile, it is noted for one when the
  // hold is over. Every hold is as long, so they end in the order they began.
  void noteOutputAfter(std::shared_ptr<SocketConnection> connection, std::chrono::milliseconds hold);

  asio::io_context& io;
  ConnectionLimits limits;
  Safeguards guards;
  bool stopped = false;
  std::set<std::shared_ptr<SocketConnection>> connections;
  // Two threads check and make password hashes; a few hundred jobs may wait.
  HashWorkers hashing{io, 2, 512};
  // What a hash the world makes costs (the minimum in tests), and how many
  // accounts may be made.
  auth::HashCost hashCost = auth::HashCost::kInteractive;
  SignUpThrottle signUps;
  // The figures /metrics shows.
  WorldMetrics metrics;

 private:
  void writeNoted();

  std::ostream& log_;
  std::vector<std::shared_ptr<SocketConnection>> noted_;
  std::vector<std::shared_ptr<SocketConnection>> round_;  // being written now
  bool writePosted_ = false;
  asio::steady_timer writeTimer_;
  std::chrono::steady_clock::time_point quietUntil_{};
  void endHolds();
  void armHoldTimer();
  std::deque<std::pair<std::chrono::steady_clock::time_point, std::shared_ptr<SocketConnection>>> held_;
  asio::steady_timer holdTimer_;
  bool holdTimerSet_ = false;
};

// Sets `timer` to the next moment one of `timeouts`' deadlines may pass and
// runs `fired` then (not when the timer is cancelled or set again); with no
// deadline left the timer just stops. One timer serves every deadline of a
// connection: activity meanwhile only moves a deadline, and `fired`, finding
// nothing due yet, sets the timer again.
void armDeadlineTimer(asio::steady_timer& timer, const ConnectionTimeouts& timeouts, std::function<void()> fired);

}  // namespace kelva::world
