// The player line port: players on any line-based client (nc, telnet). It
// welcomes a connection, takes its name through `PlayerLogin`, then turns
// each line into a world action for the core, and the core's events into
// the text lines players read ("* Ann arrives.", "Ann: hello",
// "Kelva whispers: ..."). CR, LF and CR LF each end a line.
//
// Connections count in the players' caps (in all, per address); a
// connection that does not choose a name in time, or a player who types
// nothing for the idle time, is told and let go.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "world/ports/listener.h"
#include "world/ports/socket_connection.h"
#include "world/core/world_core.h"

namespace kelva::world {

class LinePort : public Listener {
 public:
  // `hub` and `core` must outlive the port.
  LinePort(ConnectionHub& hub, WorldCore& core) : Listener(hub, "player"), core_(core) {}

  // Connections from now on speak TLS under `context` (again after a reload
  // of the certificate); a handshake not finished within `handshakeTimeout`
  // is given up.
  void useTls(std::shared_ptr<boost::asio::ssl::context> context, std::chrono::milliseconds handshakeTimeout) {
    tls_ = std::move(context);
    handshakeTimeout_ = handshakeTimeout;
  }
  bool secure() const { return tls_ != nullptr; }

 protected:
  void accepted(tcp::socket socket) override;

 private:
  WorldCore& core_;
  std::shared_ptr<boost::asio::ssl::context> tls_;  // null: clear text
  std::chrono::milliseconds handshakeTimeout_{0};

  friend class PlayerConnection;
};

}  // namespace kelva::world
