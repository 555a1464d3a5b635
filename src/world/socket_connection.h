// One client's socket, for the ports whose clients speak in lines (the
// player line port and the bot port): it cuts what arrives into lines, keeps
// the output it is sent within the connection's bound, and closes once,
// telling its port.
//
// Also what every port's connections share (`ConnectionHub`): the event
// loop, the world's log, the limits, the safeguards (log-in throttle,
// connection caps, the log of repeated events) and the set of open
// connections, which owns them.
//
// Every socket has TCP keep-alive. A connection may hold a place in the
// caps (given back when it closes) and may watch its deadlines (log-in,
// idle); its port says what to do when one passes.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <array>
#include <boost/asio.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/result.h"
#include "net/line_buffer.h"
#include "world/connection_limits.h"
#include "world/safeguards.h"

namespace kelva::world {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;

class SocketConnection;

struct ConnectionHub {
  ConnectionHub(asio::io_context& context, std::ostream& logStream, ConnectionLimits connectionLimits,
                std::size_t maxPlayers)
      : io(context), limits(connectionLimits),
        guards(connectionLimits, maxPlayers, [this](const std::string& line) { log(line); }), log_(logStream) {}

  void log(const std::string& line) { log_ << "kelva-world: " << line << std::endl; }

  // Output is written once per turn of the event loop: a connection sent
  // lines is noted here, and one handler posted for the turn writes each
  // noted connection's lines with one call, however many there are.
  void noteOutput(std::shared_ptr<SocketConnection> connection);

  asio::io_context& io;
  ConnectionLimits limits;
  Safeguards guards;
  bool stopped = false;
  std::set<std::shared_ptr<SocketConnection>> connections;

 private:
  void writeNoted();

  std::ostream& log_;
  std::vector<std::shared_ptr<SocketConnection>> noted_;
  bool writePosted_ = false;
};

// Opens a listening socket on `address`:`port`; the error names `what` port.
Status openListener(tcp::acceptor& acceptor, const std::string& address, uint16_t port, const char* what);

class SocketConnection : public std::enable_shared_from_this<SocketConnection> {
 public:
  SocketConnection(ConnectionHub& hub, tcp::socket socket, std::size_t maxLine, std::size_t outputLimit,
                   const char* lineEnd, net::LineEnds lineEnds = net::LineEnds::kLineFeed);
  virtual ~SocketConnection() = default;

  // Registers the connection with the hub and starts reading.
  void start();
  // Registers the connection with the hub, sends it `message` without
  // reading anything from it, and closes it (a connection the world cannot
  // take).
  void turnAway(std::string_view message, const std::string& reason);
  // Queues one line; a client past its output bound is closed instead.
  void send(std::string_view line);
  // Sends what is queued, then closes; a client that does not take it within
  // two seconds is closed anyway.
  void closeAfterFlush(const std::string& reason);
  void close(const std::string& reason);

  bool isOpen() const { return !closed_ && !closing_; }
  bool isClosed() const { return closed_; }
  const std::string& peer() const { return peer_; }
  // The address the caps and the throttle count this connection under.
  const std::string& source() const { return source_; }

  // The connection's place in its caps, held until it closes.
  void holdPlace(CapTicket ticket) { ticket_ = std::move(ticket); }
  // Starts watching the log-in deadline (and, once logged in, the idle time).
  void watchDeadlines(const TimeoutLimits& limits);
  // The connection logged in: it leaves the count of those that have not, and
  // its idle time starts.
  void loggedIn();
  void setOutputLimit(std::size_t limit) { outputLimit_ = limit; }
  // Reads no further line until `wait` has passed, then runs `then` (unless
  // the connection closed meanwhile) and goes on with the lines that came.
  void pauseFor(std::chrono::milliseconds wait, std::function<void()> then);
  virtual std::string describe() const = 0;
  // Tells the client, in its own language, why the world lets it go.
  virtual void sayGoodbye(const std::string& why) = 0;

 protected:
  virtual void onStart() {}
  virtual void onLine(std::string_view line) = 0;
  virtual void onOverlong() = 0;
  virtual void onClosed() = 0;
  // A deadline passed (see `watchDeadlines`).
  virtual void onDeadline(ConnectionTimeouts::Due /*due*/) {}

  ConnectionHub& hub_;

 private:
  friend struct ConnectionHub;

  void readMore();
  void writeMore();
  void takeLine(std::string_view line);
  void armDeadline();
  void resume();

  tcp::socket socket_;
  net::LineBuffer lines_;
  std::size_t outputLimit_;
  const char* lineEnd_;
  asio::steady_timer closeTimer_;
  std::array<char, 4096> readBuffer_{};
  std::string pending_;
  std::string inFlight_;
  std::string closeReason_;
  std::string peer_;
  std::string source_;
  CapTicket ticket_;
  std::optional<ConnectionTimeouts> timeouts_;
  asio::steady_timer deadlineTimer_;
  asio::steady_timer pauseTimer_;
  bool paused_ = false;
  bool readPending_ = false;  // reading stopped while paused
  std::deque<std::string> heldLines_;
  std::size_t heldBytes_ = 0;
  bool writing_ = false;
  bool noted_ = false;  // waits in the hub for this turn's write
  bool closing_ = false;
  bool closed_ = false;
};

}  // namespace kelva::world
