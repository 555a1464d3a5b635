// The bot port: bots log in with a citizen number and privilege password and
// speak the bot protocol (net/bot_protocol.h, docs/bot_protocol.md). The port
// turns each call into the core's calls and the core's events into protocol
// events; replies to calls are written here.
//
// Until a connection has logged in it counts among the bot connections not
// logged in (capped in all and per address), must log in within the log-in
// deadline and may leave only a little output unsent; StartBot's passwords go
// through the world's log-in throttle.
#pragma once

#include <cstdint>
#include <string>

#include "world/ports/listener.h"
#include "world/ports/socket_connection.h"
#include "world/core/world_core.h"

namespace kelva::world {

class BotPort : public Listener {
 public:
  // `hub` and `core` must outlive the port.
  BotPort(ConnectionHub& hub, WorldCore& core) : Listener(hub, "bot"), core_(core) {}

 protected:
  void accepted(tcp::socket socket) override;

 private:
  WorldCore& core_;

  friend class BotConnection;
};

}  // namespace kelva::world
