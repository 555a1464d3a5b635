// One client's socket, for the ports whose clients speak in lines (the
// player line port and the bot port): it cuts what arrives into lines, keeps
// the output it is sent within the connection's bound, and closes once,
// telling its port.
//
// On a port that speaks TLS the connection first shakes hands, and only then
// is welcomed and read (socket_connection_tls.cpp).
//
// Every socket has TCP keep-alive. A connection may hold a place in the
// caps (given back when it closes) and may watch its deadlines (log-in,
// idle); its port says what to do when one passes.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <boost/asio.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/line_buffer.h"
#include "world/guards/connection_caps.h"
#include "world/guards/connection_timeouts.h"
#include "world/ports/connection_hub.h"
#include "world/ports/web_stream.h"

namespace kelva::world {

class SocketConnection : public std::enable_shared_from_this<SocketConnection> {
 public:
  SocketConnection(ConnectionHub& hub, tcp::socket socket, std::size_t maxLine, std::size_t outputLimit,
                   const char* lineEnd, net::LineEnds lineEnds = net::LineEnds::kLineFeed);
  virtual ~SocketConnection() = default;

  // From now on the connection speaks TLS under `context`: start and
  // turnAway shake hands first, and a handshake not finished within
  // `handshakeTimeout` is given up. Before start or turnAway.
  void speakTls(std::shared_ptr<boost::asio::ssl::context> context, std::chrono::milliseconds handshakeTimeout);
  // Registers the connection with the hub and starts reading.
  void start();
  // Registers the connection with the hub, sends it `message` without
  // reading anything from it, and closes it (a connection the world cannot
  // take).
  void turnAway(std::string_view message, const std::string& reason);
  // Queues one line; a client past its output bound is closed instead.
  void send(std::string_view line);
  // Queues one line made of `parts` in order, copied straight into the
  // queue: a line told to a crowd is never built as a string per listener.
  void send(std::initializer_list<std::string_view> parts);
  // Queues a line that need not leave at once: it goes out with the next
  // line this connection is sent, or when `hold` has passed. A command's
  // echo waits so for the command's answer, and the two leave in one write.
  void sendSoon(std::initializer_list<std::string_view> parts, std::chrono::milliseconds hold);
  // Sends what is queued, then closes; a client that does not take it within
  // two seconds is closed anyway.
  void closeAfterFlush(const std::string& reason);
  void close(const std::string& reason);
  // Closes the connection when its peer has long given no sign of life
  // (`peerLongSilent`); the world asks once a second.
  void closeIfPeerGone();

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
  // How much one read may take from the socket (4 KB until set). A bot's
  // answers come in bursts, one per tick of its pump: read whole, the
  // burst's whispers go out in one round instead of one round per 4 KB.
  // Takes effect from the next read (the lines of this one may still be in
  // the buffer).
  void setReadSize(std::size_t bytes) { readSize_ = bytes; }
  // Reads no further line until `wait` has passed, then runs `then` (unless
  // the connection closed meanwhile) and goes on with the lines that came.
  void pauseFor(std::chrono::milliseconds wait, std::function<void()> then);
  // Reads no further line while `work` runs on the hub's hash workers, then
  // runs `then` with its answer (unless the connection closed meanwhile) and
  // goes on. False, with nothing paused, when the workers' queue is full.
  bool pauseWhile(std::function<bool()> work, std::function<void(HashAnswer)> then);
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

  tcp::socket& socket() { return stream_.tcp().socket(); }
  // Shakes hands when the connection speaks TLS, then runs `then`; a client
  // that speaks clear text to it is told so in clear text and let go.
  void shakeHands(std::function<void()> then);
  void onFirstBytes(const ErrorCode& ec, std::size_t n, std::function<void()> then);
  void readMore();
  void waitForRound();
  bool queue(std::initializer_list<std::string_view> parts);
  void writeMore();
  void takeLine(std::string_view line);
  void armDeadline();
  void resume();

  WebStream stream_;
  std::shared_ptr<boost::asio::ssl::context> tls_;  // null: clear text
  std::chrono::milliseconds handshakeTimeout_{0};
  bool handshaking_ = false;  // nothing can be said to the client yet
  net::LineBuffer lines_;
  std::size_t outputLimit_;
  const char* lineEnd_;
  asio::steady_timer closeTimer_;
  std::size_t readSize_ = 4096;
  std::vector<char> readBuffer_;
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
