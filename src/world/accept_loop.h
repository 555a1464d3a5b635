// A port's listening socket and the loop that accepts its clients, shared by
// every port. When the process runs out of descriptors or memory, accepting
// pauses (`AcceptBackoff`) instead of spinning, the failure is logged once a
// second with a count, and accepting goes on by itself when it works again.
#pragma once

#include <boost/asio.hpp>
#include <cstdint>
#include <functional>
#include <string>

#include "world/accept_backoff.h"
#include "world/socket_connection.h"

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

}  // namespace kelva::world
