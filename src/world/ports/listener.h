// A port's listening socket and how it lets a connection in under the caps.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "data/result.h"
#include "world/guards/accept_backoff.h"
#include "world/guards/connection_caps.h"
#include "world/ports/connection_hub.h"

namespace kelva::world {

class SocketConnection;

// A port's listening socket: once open, it accepts connections until it is
// closed and hands each to `accepted`. When the process runs out of
// descriptors or memory, accepting pauses (`AcceptBackoff`) instead of
// spinning, the failure is logged once a second with a count, and accepting
// goes on by itself when it works again.
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
  // Lets `connection` in under `caps` and starts it, or tells it the line
  // `refusal` makes of the reason and lets it go. `noun` names the kind in
  // the reason ("players").
  void admit(const std::shared_ptr<SocketConnection>& connection, ConnectionCaps& caps, const std::string& noun,
             const std::function<std::string(const ConnectionCaps::Admission&)>& refusal);

  ConnectionHub& hub_;

 private:
  void acceptMore();

  tcp::acceptor acceptor_;
  const char* what_;
  asio::steady_timer pause_;
  AcceptBackoff backoff_;
  uint64_t failedSinceLastSuccess_ = 0;
};

}  // namespace kelva::world
