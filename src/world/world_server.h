// The world server: hosts one world for players on a line-based player port
// and for bots on the bot port.
//
// Players connect with any line-based client (nc, telnet), choose a name (a
// registered name needs its password; a guest appears in double quotes, so a
// guest can never pass for a registered avatar), and then chat or act on the
// world (player_input.h). Bots log in with a citizen number and privilege
// password and speak the bot protocol (net/bot_protocol.h).
//
// Everything runs on the thread that runs the io_context; the server never
// blocks on a client. Each client's unsent output is bounded and a client
// past the bound is disconnected; input lines have a maximum length; players
// who type faster than the world allows lose the extra lines and are told.
// All of it is logged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "data/result.h"
#include "world/world_file.h"

namespace asio {
class io_context;
}

namespace kelva::world {

struct ServerOptions {
  // Loopback by default: opening the world to the network is the operator's choice.
  std::string bindAddress = "127.0.0.1";
  uint16_t playerPort = 7777;  // 0: any free port
  uint16_t botPort = 7778;
  std::size_t maxPlayers = 1000;
  std::size_t maxPlayerLine = 1000;
  std::size_t playerOutputLimit = 256 * 1024;
  std::size_t botOutputLimit = 16 * 1024 * 1024;
  // A player may type this many lines a second, in bursts of up to `playerLineBurst`.
  double playerLinesPerSecond = 10.0;
  double playerLineBurst = 30.0;
  // A connection that has not chosen a name after this long is closed.
  int nameTimeoutSeconds = 120;
};

class WorldServer {
 public:
  // `io` and `log` must outlive the server, and the io_context must have
  // stopped running before the server is destroyed.
  WorldServer(asio::io_context& io, WorldDefinition world, ServerOptions options, std::ostream& log);
  ~WorldServer();
  WorldServer(const WorldServer&) = delete;
  WorldServer& operator=(const WorldServer&) = delete;

  // Opens both ports; the error says which one could not be opened.
  Status start();
  // The ports actually listened on (useful when 0 was asked for).
  uint16_t playerPort() const;
  uint16_t botPort() const;
  // Says goodbye to everyone and closes the ports and every connection. Call
  // it on the io_context's thread.
  void stop();

  // The server's inside, defined with its connections in the source file.
  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelva::world
