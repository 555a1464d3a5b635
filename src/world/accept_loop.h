// A port's listening socket and the loop that accepts its clients, shared by
// every port. When the process runs out of descriptors or memory, accepting
// pauses (`AcceptBackoff`) instead of spinning, the failure is logged once a
// second with a count, and accepting goes on by itself when it works again.
//
// `SocketPort` is what the line-based ports have in common: the hub, the
// core, the listening socket, and letting a new connection in under its caps
// or turning it away with the reason.
#pragma once

#include <boost/asio.hpp>
#include <cstdint>
#include <functional>
#include <string>

#include "world/accept_backoff.h"
#include "world/socket_connection.h"
#include "world/world_core.h"

namespace kelva::world {

class AcceptLoop {
 public:
  using Handler = std::function<void(tcp::socket)>;

  // `what` names the port in the log ("player", "bot"); `hub` must outlive the loop.
  AcceptLoop(ConnectionHub& hub, const char* what);

  // Opens the listening socket and hands every accepted client to `handler`.
  Status open(const std::string& address, uint16_t port, Handler handler);
  uint16_t port() const;
  void close();

 private:
  void acceptMore();

  ConnectionHub& hub_;
  const char* what_;
  tcp::acceptor acceptor_;
  asio::steady_timer pause_;
  AcceptBackoff backoff_;
  Handler handler_;
  uint64_t failedSinceLastSuccess_ = 0;
};

class SocketPort {
 public:
  // `hub` and `core` must outlive the port; `what` names it in the log.
  SocketPort(ConnectionHub& hub, WorldCore& core, const char* what);
  virtual ~SocketPort() = default;
  SocketPort(const SocketPort&) = delete;
  SocketPort& operator=(const SocketPort&) = delete;

  Status open(const std::string& address, uint16_t port);
  uint16_t port() const { return listener_.port(); }
  void closeListener() { listener_.close(); }

 protected:
  // A client was accepted: make its connection and `admit` it.
  virtual void accepted(tcp::socket socket) = 0;
  // Lets `connection` in under `caps` and starts it, or tells it the line
  // `refusal` makes of the reason and lets it go.
  void admit(const std::shared_ptr<SocketConnection>& connection, ConnectionCaps& caps, const std::string& noun,
             const std::function<std::string(const ConnectionCaps::Admission&)>& refusal);

  ConnectionHub& hub_;
  WorldCore& core_;

 private:
  const char* what_;
  AcceptLoop listener_;
};

}  // namespace kelva::world
