// kelva-world: hosts one world for players (nc, telnet, browsers) and bots.
//
//   kelva-world hash-password   (the password from standard input)
//   kelva-world accounts --data-dir DIR ACTION ...   (accounts_cli.h)
//   kelva-world reset-objects --data-dir DIR
//   kelva-world WORLD_FILE [--data-dir DIR] [--player-port N|off] [--bot-port N] [--web-port N]
//               [--web-root DIR] [--tls-cert FILE --tls-key FILE] [--player-tls]
//               [--bind ADDRESS] [--max-players N]
//               [--max-per-address N] [--max-logging-in T,P] [--idle-timeout S]
//               [--login-timeout S]
//               [--keepalive IDLE,INTERVAL,PROBES]
#include <boost/asio.hpp>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>

#include "world/core/world_file.h"
#include "world/main/accounts_cli.h"
#include "world/store/object_changes.h"
#include "world/ports/world_server.h"

namespace {

const char* const kUsage =
    "usage: kelva-world WORLD_FILE [options]\n"
    "       kelva-world hash-password < PASSWORD_FILE\n"
    "       kelva-world accounts --data-dir DIR list|add|remove|reset-password|ban|unban|admin ...\n"
    "                   (kelva-world accounts --help tells more)\n"
    "       kelva-world reset-objects --data-dir DIR\n"
    "Hosts the world described by WORLD_FILE (see docs/world_file.md).\n"
    "hash-password prints the Argon2id hash of the password on standard input's\n"
    "first line, for a player's passwordHash in the world file.\n"
    "reset-objects forgets the object changes the bots made that the world in DIR\n"
    "keeps (picked shrooms, moved objects): the world file's objects count again.\n"
    "Refused while a world runs on DIR.\n"
    "  --data-dir DIR    the folder of the world's account store (world.db); without it\n"
    "                    accounts made in the world last only while it runs\n"
    "  --player-port N   port for players (nc, telnet); default 7777, 0 = any free port,\n"
    "                    off = no line port (players come in through the web port only)\n"
    "  --player-tls      the player port speaks TLS (openssl s_client, MUD clients that\n"
    "                    support it) with the web port's --tls-cert and --tls-key\n"
    "  --bot-port N      port for bots; default 7778, 0 = any free port\n"
    "  --web-port N      port for browsers (the page and its WebSocket); default 7780,\n"
    "                    0 = any free port\n"
    "  --web-root DIR    the page's files; default share/kelva/web of the installed program\n"
    "                    (the source's web/ when run from its build folder)\n"
    "  --tls-cert FILE   the web port speaks HTTPS and wss:// with this PEM certificate\n"
    "                    (and its chain); needs --tls-key; both are read again on SIGHUP\n"
    "  --tls-key FILE    the certificate's PEM private key\n"
    "  --web-origin URL  a site whose pages may also play here (https://example.org);\n"
    "                    may be given again; the world's own page always may\n"
    "  --bind ADDRESS    address to listen on; default 127.0.0.1 (this machine only);\n"
    "                    0.0.0.0 lets players on your network in\n"
    "  --bot-bind ADDRESS  address of the bot port; default 127.0.0.1, whatever --bind says\n"
    "  --max-players N   most player connections at once; default 1000 (lowered to what\n"
    "                    the limit on open files can hold)\n"
    "  --max-per-address N  most player connections from one address; default 20, 0 = no cap\n"
    "  --max-logging-in T,P most player connections waiting to log in, in all and from one\n"
    "                    address (past either the oldest waiting one goes); default 128,16,\n"
    "                    0 = no cap\n"
    "  --idle-timeout S  a player who types nothing for S seconds is disconnected (warned\n"
    "                    a minute before); default 1800, 0 = never\n"
    "  --login-timeout S a bot connection must send StartBot within S seconds; default 3\n"
    "  --keepalive I,N,P TCP keep-alive: first probe after I seconds without traffic, then\n"
    "                    every N seconds, dead after P probes; default 60,15,4\n"
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

// A whole number from `min` to `max`, and nothing else.
bool parseWhole(std::string_view text, long min, long max, long& out) {
  long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return false;
  out = v;
  return true;
}

// The kernel takes up to 127 probes; a minute-long interval between them
// is already far past what anyone needs.
bool parseKeepAlive(std::string_view text, kelva::world::ConnectionLimits::KeepAlive& k) {
  long v[3];
  const long most[3] = {3600, 3600, 127};
  for (long& part : v) {
    std::size_t comma = text.find(',');
    if (!parseWhole(text.substr(0, comma), 1, most[&part - v], part)) return false;
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (&part != &v[2] && comma == std::string_view::npos) return false;
  }
  if (!text.empty()) return false;
  k = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2])};
  return true;
}

// Forgets the kept object changes of a world that is not running.
int resetObjects(int argc, char** argv) {
  if (argc != 4 || std::string_view(argv[2]) != "--data-dir") {
    std::cerr << "usage: kelva-world reset-objects --data-dir DIR\n";
    return 2;
  }
  kelva::Result<std::size_t> forgotten = kelva::world::resetObjects(argv[3]);
  if (!forgotten.isOk()) {
    std::cerr << "kelva-world: reset-objects: " << forgotten.status().message() << "\n";
    return 1;
  }
  std::cout << "Forgot " << forgotten.value() << " object changes; the world file's objects count again.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "hash-password") return kelva::world::hashPasswordCommand();
  if (argc >= 2 && std::string_view(argv[1]) == "accounts") return kelva::world::accountsCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::string_view(argv[1]) == "reset-objects") return resetObjects(argc, argv);
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
      std::string_view text = value();
      uint16_t port = 0;
      if (text == "off") {
        options.playerPort.reset();
      } else if (parsePort(text, port)) {
        options.playerPort = port;
      } else {
        std::cerr << "kelva-world: --player-port needs a port number from 0 to 65535, or off\n";
        return 2;
      }
    } else if (arg == "--player-tls") {
      options.playerTls = true;
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
    } else if (arg == "--data-dir") {
      options.dataDir = value();
    } else if (arg == "--web-root") {
      options.webRoot = value();
    } else if (arg == "--tls-cert") {
      options.webTls.certificate = value();
    } else if (arg == "--tls-key") {
      options.webTls.key = value();
    } else if (arg == "--web-origin") {
      options.webOrigins.push_back(value());
    } else if (arg == "--bind") {
      options.bindAddress = value();
    } else if (arg == "--bot-bind") {
      options.botBindAddress = value();
    } else if (arg == "--max-players") {
      uint16_t n = 0;
      if (!parsePort(value(), n) || n == 0) {
        std::cerr << "kelva-world: --max-players needs a number from 1 to 65535\n";
        return 2;
      }
      options.maxPlayers = n;
    } else if (arg == "--max-per-address") {
      long n = 0;
      if (!parseWhole(value(), 0, 1000000, n)) {
        std::cerr << "kelva-world: --max-per-address needs a number from 0 to 1000000\n";
        return 2;
      }
      options.limits.maxPlayersPerAddress = static_cast<std::size_t>(n);
    } else if (arg == "--max-logging-in") {
      std::string_view text = value();
      std::size_t comma = text.find(',');
      long total = 0, perAddress = 0;
      if (comma == std::string_view::npos || !parseWhole(text.substr(0, comma), 0, 1000000, total) ||
          !parseWhole(text.substr(comma + 1), 0, 1000000, perAddress)) {
        std::cerr << "kelva-world: --max-logging-in needs TOTAL,PER_ADDRESS: numbers from 0 to 1000000\n";
        return 2;
      }
      options.limits.maxPlayersNotLoggedIn = static_cast<std::size_t>(total);
      options.limits.maxPlayersNotLoggedInPerAddress = static_cast<std::size_t>(perAddress);
    } else if (arg == "--idle-timeout") {
      long n = 0;
      if (!parseWhole(value(), 0, 7 * 24 * 3600, n)) {
        std::cerr << "kelva-world: --idle-timeout needs a number of seconds from 0 to 604800\n";
        return 2;
      }
      options.limits.idleTimeout = std::chrono::seconds(n);
    } else if (arg == "--login-timeout") {
      long n = 0;
      if (!parseWhole(value(), 1, 3600, n)) {
        std::cerr << "kelva-world: --login-timeout needs a number of seconds from 1 to 3600\n";
        return 2;
      }
      options.limits.botLogInSeconds = static_cast<int>(n);
    } else if (arg == "--keepalive") {
      if (!parseKeepAlive(value(), options.limits.keepAlive)) {
        std::cerr << "kelva-world: --keepalive needs IDLE,INTERVAL,PROBES: seconds from 1 to 3600, "
                     "then 1 to 127 probes\n";
        return 2;
      }
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
  if (options.webTls.certificate.empty() != options.webTls.key.empty()) {
    std::cerr << "kelva-world: --tls-cert and --tls-key go together\n";
    return 2;
  }
  if (options.playerTls && !options.webTls.enabled()) {
    std::cerr << "kelva-world: --player-tls needs --tls-cert and --tls-key: the player port speaks TLS with the "
                 "web port's certificate\n";
    return 2;
  }
  if (options.playerTls && !options.playerPort) {
    std::cerr << "kelva-world: --player-tls and --player-port off do not go together\n";
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
  std::cout << "World " << name << " is open.\n";
  if (!options.playerPort)
    std::cout << "There is no line port for players (--player-port off).\n";
  else if (server.playerSecure())
    std::cout << "Players connect over TLS with: openssl s_client -quiet -connect " << options.bindAddress << ":"
              << server.playerPort() << "\n";
  else
    std::cout << "Players connect with: nc " << options.bindAddress << " " << server.playerPort() << "\n";
  std::cout << "Players in a browser open: " << (server.webSecure() ? "https://" : "http://")
            << options.bindAddress << ":" << server.webPort() << "/\n"
            << "Bots log in on: " << options.botBindAddress << ":" << server.botPort() << "\n"
            << server.capacity() << ".\n"
            << std::flush;

  // A renewed certificate is taken without a restart: `kill -HUP`. A world
  // without one keeps the signal's usual meaning.
  boost::asio::signal_set hangup(io);
  std::function<void()> awaitHangup = [&] {
    hangup.async_wait([&](boost::system::error_code ec, int) {
      if (ec) return;
      server.reloadTls();
      awaitHangup();
    });
  };
  if (server.webSecure()) {
    hangup.add(SIGHUP);
    awaitHangup();
  }
  boost::asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](boost::system::error_code ec, int) {
    if (!ec) {
      server.stop();
      hangup.cancel();
    }
  });
  kelva::world::runInTurns(io);
  return 0;
}
