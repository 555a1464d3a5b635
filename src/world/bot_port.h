// The bot port: bots log in with a citizen number and privilege password and
// speak the bot protocol (net/bot_protocol.h, docs/bot_protocol.md). The port
// turns each call into the core's calls and the core's events into protocol
// events; replies to calls are written here.
#pragma once

#include <cstdint>
#include <string>

#include "world/socket_connection.h"
#include "world/world_core.h"

namespace kelva::world {

class BotPort {
 public:
  // `hub` and `core` must outlive the port.
  BotPort(ConnectionHub& hub, WorldCore& core);

  Status open(const std::string& address, uint16_t port);
  uint16_t port() const;
  void closeListener();

 private:
  void acceptMore();

  ConnectionHub& hub_;
  WorldCore& core_;
  tcp::acceptor acceptor_;

  friend class BotConnection;
};

}  // namespace kelva::world
