// The world server: hosts one world for players on a line-based player port
// and in browsers on the web port, and for bots on the bot port.
//
// One core holds the world's rules (world_core.h) and knows nothing of
// sockets; each kind of connection has its own port that turns bytes into the
// core's calls and the core's events into its clients' language: the player
// line port (line_port.h) and the bot port (bot_port.h). The limits every
// connection shares live in connection_limits.h. docs/world_server.md
// describes the pieces.
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
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "auth/password_hash.h"
#include "data/result.h"
#include "world/guards/connection_limits.h"
#include "world/core/world_file.h"
#include "world/ports/web_tls.h"

namespace boost::asio {
class io_context;
}

namespace kelva::world {

struct ServerOptions {
  // Loopback by default: opening the world to the network is the operator's choice.
  std::string bindAddress = "127.0.0.1";
  // The bot port's own address: the bot's lane stays on this machine even
  // when the players' ports are opened to the network.
  std::string botBindAddress = "127.0.0.1";
  // The line port for players; 0: any free port; nullopt: none, for a host
  // who wants no password to cross the network in clear text.
  std::optional<uint16_t> playerPort = 7777;
  uint16_t botPort = 7778;
  // The browser client's port (page and WebSocket); nullopt: none.
  std::optional<uint16_t> webPort = 7780;
  // The page's files; empty: defaultWebAssets() (web_port.h).
  std::string webRoot;
  // Sites beside the world's own page whose pages may open a game
  // connection ("https://example.org"); web_origin.h.
  std::vector<std::string> webOrigins;
  // A certificate and key: the web port then speaks HTTPS and wss:// only.
  WebTlsOptions webTls;
  // The line port speaks TLS too, with the same certificate and key.
  bool playerTls = false;
  // The folder of the world's account store (world.db); empty: the
  // accounts last only as long as the world runs.
  std::string dataDir;
  // What a password hash made by the world costs (the minimum for tests).
  auth::HashCost hashCost = auth::HashCost::kInteractive;
  // Lowered at start when the limit on open files cannot hold as many.
  std::size_t maxPlayers = 1000;
  ConnectionLimits limits;
};

class WorldServer {
 public:
  // `io` and `log` must outlive the server, and the io_context must have
  // stopped running before the server is destroyed.
  WorldServer(boost::asio::io_context& io, WorldDefinition world, ServerOptions options, std::ostream& log);
  ~WorldServer();
  WorldServer(const WorldServer&) = delete;
  WorldServer& operator=(const WorldServer&) = delete;

  // Opens the account store, then the ports; the error names the store or
  // the port that could not be opened.
  Status start();
  // The ports actually listened on (useful when 0 was asked for); 0 for
  // the player port when the world has no line port.
  uint16_t playerPort() const;
  // Whether the line port speaks TLS.
  bool playerSecure() const;
  uint16_t botPort() const;
  // 0 when the world has no web port.
  uint16_t webPort() const;
  // Whether the web port speaks HTTPS.
  bool webSecure() const;
  // Reads the certificate and key again (SIGHUP), for the web port and the
  // line port when it speaks TLS, logging the outcome; players stay connected. Call it on the io_context's thread.
  Status reloadTls();
  // After start: how many players the world holds, as a sentence for the operator.
  const std::string& capacity() const;
  // Says goodbye to everyone and closes the ports and every connection. Call
  // it on the io_context's thread.
  void stop();

  // The server's inside, defined with its connections in the source file.
  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Runs the world's event loop until it stops, in turns: a turn takes every
// line, answer and timer that is ready and writes what they produced; the
// next turn starts no sooner than `kTurn` after this one began. An idle
// world sleeps until something arrives and answers it at once; a busy one
// looks at its sockets a few hundred times a second instead of once per
// line, so each look finds many lines and each write carries many.
void runInTurns(boost::asio::io_context& io);

}  // namespace kelva::world
