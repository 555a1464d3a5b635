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
      : io(context), limits(connectionLimits), log_(logStream) {}

  void log(const std::string& line) { log_ << "kelva-world: " << line << std::endl; }

  // Output is written once per turn of the event loop: a connection sent
  // lines is noted here, and one handler posted for the turn writes each
  // noted connection's lines with one call, however many there are.
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
};

// Opens a listening socket on `address`:`port`; the error names `what` port.
Status openListener(tcp::acceptor& acceptor, const std::string& address, uint16_t port, const char* what);

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
