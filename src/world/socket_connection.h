// One client's socket, for the ports whose clients speak in lines (the
// player line port and the bot port): it cuts what arrives into lines, keeps
// the output it is sent within the connection's bound, and closes once,
// telling its port.
//
// Also what every port's connections share (`ConnectionHub`): the event
// loop, the world's log, the limits and the set of open connections, which
// owns them.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <array>
#include <boost/asio.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/result.h"
#include "net/line_buffer.h"
#include "world/connection_limits.h"

namespace kelva::world {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using ErrorCode = boost::system::error_code;

class SocketConnection;

struct ConnectionHub {
  ConnectionHub(asio::io_context& context, std::ostream& logStream, ConnectionLimits connectionLimits)
      : io(context), limits(connectionLimits), log_(logStream), writeTimer_(context) {}

  void log(const std::string& line) { log_ << "kelva-world: " << line << std::endl; }

  // Output is written in rounds: a connection sent lines is noted here, and
  // one round writes each noted connection's lines with one call, however
  // many there are. A round runs after the current turn of the event loop;
  // after a round that took long (a crowd of 2,000 each hearing an arrival),
  // the next waits as long as that one took, up to 5 ms, so that the world
  // spends time on the world between rounds and lines pile up into fewer
  // writes instead of one write per listener per line.
  void noteOutput(std::shared_ptr<SocketConnection> connection);

  asio::io_context& io;
  ConnectionLimits limits;
  bool stopped = false;
  std::set<std::shared_ptr<SocketConnection>> connections;

 private:
  void writeNoted();

  std::ostream& log_;
  std::vector<std::shared_ptr<SocketConnection>> noted_;
  bool writePosted_ = false;
  asio::steady_timer writeTimer_;
  std::chrono::steady_clock::time_point quietUntil_{};
};

// A port's listening socket: once open, it accepts connections until it is
// closed and hands each to `accepted`.
class Listener {
 public:
  // `what` names the port in errors and the log ("player", "bot").
  Listener(ConnectionHub& hub, const char* what);
  virtual ~Listener() = default;

  // The error names the port and the address.
  Status open(const std::string& address, uint16_t port);
  // The port listened on (useful when 0 was asked for).
  uint16_t port() const;
  void closeListener();

 protected:
  virtual void accepted(tcp::socket socket) = 0;

  ConnectionHub& hub_;

 private:
  void acceptMore();

  tcp::acceptor acceptor_;
  const char* what_;
};

class SocketConnection : public std::enable_shared_from_this<SocketConnection> {
 public:
  SocketConnection(ConnectionHub& hub, tcp::socket socket, std::size_t maxLine, std::size_t outputLimit,
                   const char* lineEnd);
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
  virtual std::string describe() const = 0;
  // Tells the client, in its own language, why the world lets it go.
  virtual void sayGoodbye(const std::string& why) = 0;

 protected:
  virtual void onStart() {}
  virtual void onLine(std::string_view line) = 0;
  virtual void onOverlong() = 0;
  virtual void onClosed() = 0;

  ConnectionHub& hub_;

 private:
  friend struct ConnectionHub;

  void readMore();
  void waitForRound();
  void writeMore();

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
  bool writing_ = false;
  bool noted_ = false;  // waits in the hub for this turn's write
  bool closing_ = false;
  bool closed_ = false;
};

}  // namespace kelva::world
