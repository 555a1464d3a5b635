// kelva-world: hosts one world for players (nc, telnet, browsers) and bots.
//
//   kelva-world WORLD_FILE [--player-port N] [--bot-port N] [--web-port N]
//               [--web-root DIR] [--bind ADDRESS] [--max-players N]
#include <boost/asio.hpp>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "world/world_file.h"
#include "world/world_server.h"

namespace {

const char* const kUsage =
    "usage: kelva-world WORLD_FILE [options]\n"
    "Hosts the world described by WORLD_FILE (see docs/world_file.md).\n"
    "  --player-port N   port for players (nc, telnet); default 7777, 0 = any free port\n"
    "  --bot-port N      port for bots; default 7778, 0 = any free port\n"
    "  --web-port N      port for browsers (the page and its WebSocket); default 7780,\n"
    "                    0 = any free port\n"
    "  --web-root DIR    the page's files; default the web/ folder kelva-world was built from\n"
    "  --bind ADDRESS    address to listen on; default 127.0.0.1 (this machine only);\n"
    "                    0.0.0.0 lets players on your network in\n"
    "  --max-players N   most player connections at once; default 1000\n"
    "  --help            this text\n";

bool parsePort(std::string_view text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v > 65535) return false;
  port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  kelva::world::ServerOptions options;
  std::string worldFile;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::cerr << "kelva-world: " << arg << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--player-port") {
      if (!parsePort(value(), options.playerPort)) {
        std::cerr << "kelva-world: --player-port needs a port number from 0 to 65535\n";
        return 2;
      }
    } else if (arg == "--bot-port") {
      if (!parsePort(value(), options.botPort)) {
        std::cerr << "kelva-world: --bot-port needs a port number from 0 to 65535\n";
        return 2;
      }
    } else if (arg == "--web-port") {
      uint16_t port = 0;
      if (!parsePort(value(), port)) {
        std::cerr << "kelva-world: --web-port needs a port number from 0 to 65535\n";
        return 2;
      }
      options.webPort = port;
    } else if (arg == "--web-root") {
      options.webRoot = value();
    } else if (arg == "--bind") {
      options.bindAddress = value();
    } else if (arg == "--max-players") {
      uint16_t n = 0;
      if (!parsePort(value(), n) || n == 0) {
        std::cerr << "kelva-world: --max-players needs a number from 1 to 65535\n";
        return 2;
      }
      options.maxPlayers = n;
    } else if (!arg.empty() && arg[0] == '-') {
      std::cerr << "kelva-world: unknown option " << arg << "\n" << kUsage;
      return 2;
    } else if (worldFile.empty()) {
      worldFile = std::string(arg);
    } else {
      std::cerr << "kelva-world: only one world file, please\n" << kUsage;
      return 2;
    }
  }
  if (worldFile.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  kelva::Result<kelva::world::WorldDefinition> def = kelva::world::loadWorldFile(worldFile);
  if (!def.isOk()) {
    std::cerr << "kelva-world: " << def.status().message() << "\n";
    return 3;
  }
  std::string name = def.value().name;

  // A client that vanishes mid-write must not kill the server.
  std::signal(SIGPIPE, SIG_IGN);
  boost::asio::io_context io;
  kelva::world::WorldServer server(io, std::move(def.value()), options, std::cerr);
  if (kelva::Status s = server.start(); !s.isOk()) {
    std::cerr << "kelva-world: " << s.message() << "\n";
    return 1;
  }
  std::cout << "World " << name << " is open.\n"
            << "Players connect with: nc " << options.bindAddress << " " << server.playerPort() << "\n"
            << "Players in a browser open: http://" << options.bindAddress << ":" << server.webPort() << "/\n"
            << "Bots log in on: " << options.bindAddress << ":" << server.botPort() << "\n"
            << std::flush;

  boost::asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](boost::system::error_code ec, int) {
    if (!ec) server.stop();
  });
  io.run();
  return 0;
}
