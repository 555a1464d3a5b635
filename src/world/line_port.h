// The player line port: players on any line-based client (nc, telnet). It
// welcomes a connection, takes its name through `PlayerLogin`, then turns
// each line into a world action for the core, and the core's events into
// the text lines players read ("* Ann arrives.", "Ann: hello",
// "Kelva whispers: ...").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "world/socket_connection.h"
#include "world/world_core.h"

namespace kelva::world {

class LinePort {
 public:
  // `hub` and `core` must outlive the port.
  LinePort(ConnectionHub& hub, WorldCore& core, std::size_t maxPlayers);

  Status open(const std::string& address, uint16_t port);
  uint16_t port() const;
  void closeListener();

 private:
  void acceptMore();

  ConnectionHub& hub_;
  WorldCore& core_;
  std::size_t maxPlayers_;
  std::size_t connections_ = 0;
  tcp::acceptor acceptor_;

  friend class PlayerConnection;
};

}  // namespace kelva::world
