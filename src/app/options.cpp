#include "app/options.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdlib>

namespace kelva::app {

namespace {

std::optional<int64_t> wholeNumber(const std::string& text) {
  int64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  // from_chars takes no plus sign; a seed may have one.
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

}  // namespace

Result<Options> parseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--headless") {
      options.headless = true;
      continue;
    }
    if (arg == "--simulated") {
      options.simulated = true;
      continue;
    }
    std::optional<std::string> value;
    const auto equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    if (arg != "--script" && arg != "--data-dir" && arg != "--seed" && arg != "--world" && arg != "--world-file" &&
        arg != "--player-port" && arg != "--web-port" && arg != "--test-timer2-ms" && arg != "--answers" &&
        arg != "--console-port" && arg != "--console-bind" && arg != "--tls-cert" && arg != "--tls-key") {
      return Status::error("unknown option \"" + args[i] + "\"");
    }
    if (!value) {
      if (i + 1 >= args.size()) return Status::error(arg + " needs a value");
      value = args[++i];
    }
    if (arg == "--script") {
      options.scriptFile = *value;
    } else if (arg == "--data-dir") {
      options.dataDir = *value;
    } else if (arg == "--world") {
      // HOST:PORT; an IPv6 address goes in brackets: [::1]:7778.
      const auto colon = value->rfind(':');
      const auto port = colon == std::string::npos ? std::nullopt : wholeNumber(value->substr(colon + 1));
      std::string host = colon == std::string::npos ? "" : value->substr(0, colon);
      if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
      if (host.empty() || !port || *port < 1 || *port > 65535 || value->substr(colon + 1).front() == '+') {
        return Status::error("--world needs HOST:PORT, such as 127.0.0.1:7778, not \"" + *value + "\"");
      }
      options.worldHost = host;
      options.worldPort = std::to_string(*port);
    } else if (arg == "--answers") {
      options.answersFile = *value;
    } else if (arg == "--world-file") {
      options.worldFile = *value;
    } else if (arg == "--player-port" && *value == "off") {
      options.playerPortOff = true;
      options.playerPort.reset();
    } else if (arg == "--player-port" || arg == "--web-port" || arg == "--console-port") {
      const auto port = wholeNumber(*value);
      if (!port || *port < 0 || *port > 65535) {
        return Status::error(arg + " needs a port number from 0 to 65535" +
                           (arg == "--player-port" ? std::string(", or off,") : std::string()) + " not \"" +
                           *value + "\"");
      }
      if (arg == "--player-port") options.playerPortOff = false;
      (arg == "--player-port" ? options.playerPort
       : arg == "--web-port"  ? options.webPort
                              : options.consolePort) = static_cast<uint16_t>(*port);
    } else if (arg == "--console-bind") {
      if (value->empty()) return Status::error("--console-bind needs an address, such as 0.0.0.0");
      options.consoleBind = *value;
    } else if (arg == "--tls-cert" || arg == "--tls-key") {
      if (value->empty()) return Status::error(arg + " needs a file");
      (arg == "--tls-cert" ? options.tlsCertificate : options.tlsKey) = *value;
    } else if (arg == "--test-timer2-ms") {
      const auto ms = wholeNumber(*value);
      if (!ms || *ms < 1 || *ms > 1000) return Status::error("--test-timer2-ms needs a number from 1 to 1000");
      options.testTimer2Ms = static_cast<int>(*ms);
    } else {
      const auto seed = wholeNumber(*value);
      if (!seed) return Status::error("--seed needs a whole number, not \"" + *value + "\"");
      options.seed = *seed;
    }
  }
  if (options.headless && options.scriptFile) {
    return Status::error("--headless and --script do not go together: a script runs without real time");
  }
  const int worlds = (options.worldHost ? 1 : 0) + (options.worldFile ? 1 : 0) + (options.simulated ? 1 : 0);
  if (worlds > 1) return Status::error("--world, --world-file and --simulated each choose the world: give one");
  const bool playerPortGiven = options.playerPort || options.playerPortOff;
  if (options.scriptFile && (worlds > 0 || playerPortGiven || options.webPort)) {
    return Status::error(
        "--script runs against its own simulated world: no --world, --world-file, --simulated, --player-port or "
        "--web-port");
  }
  if (options.scriptFile && (options.consolePort || options.consoleBind)) {
    return Status::error("--script runs without the console page: no --console-port or --console-bind");
  }
  if (options.tlsCertificate.has_value() != options.tlsKey.has_value()) {
    return Status::error("--tls-cert and --tls-key go together");
  }
  if (options.scriptFile && options.tlsCertificate) {
    return Status::error("--script runs without the console page: no --tls-cert or --tls-key");
  }
  if (options.answersFile && options.scriptFile) {
    return Status::error("--answers is for the bot in real time; a script answers the prompts itself");
  }
  if ((playerPortGiven || options.webPort) && (options.worldHost || options.simulated)) {
    return Status::error("--player-port and --web-port are for the world kelvabot hosts itself");
  }
  return options;
}

bool displayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

std::string usageText() {
  return "Usage: kelvabot [--headless] [--world HOST:PORT | --world-file FILE | --simulated]\n"
         "                [--player-port N] [--web-port N] [--data-dir DIR] [--seed N]\n"
         "                [--answers FILE] [--console-port N] [--console-bind ADDRESS]\n"
         "                [--tls-cert FILE --tls-key FILE]\n"
         "       kelvabot --script FILE [--data-dir DIR] [--seed N]\n"
         "       kelvabot roster --data-dir DIR [--remove NAME...] [--remove-guests]\n"
         "\n"
         "Without --script the bot runs in real time. With a display it opens the\n"
         "operator's console window and asks the seven start-up questions in dialog\n"
         "boxes; without one (or with --headless) it asks them on the terminal and\n"
         "then reads console lines (admin INDEX NAME, select NAME, text2 TEXT,\n"
         "text3 TEXT, change, close) from standard input. Closing the window,\n"
         "close, SIGINT or SIGTERM make the bot leave the world with its countdown.\n"
         "\n"
         "The world: with --world the bot logs in to a running world server\n"
         "(kelva-world) at HOST:PORT, its bot port. Otherwise kelvabot hosts a world\n"
         "itself, on this machine only (127.0.0.1): the demo world, or the one in\n"
         "--world-file; it prints how players connect (nc 127.0.0.1 PORT). With\n"
         "--simulated the world is the simulated one, whose avatars take the\n"
         "script's event lines (arrive, chat, click-object, ...) on the terminal.\n"
         "\n"
         "With --script the bot runs against a simulated world driven by a world\n"
         "script and prints what the bot does, one line per effect.\n"
         "\n"
         "  --headless       runs from the terminal even when a display is available\n"
         "  --script FILE    the world script to run; - reads it from standard input\n"
         "  --data-dir DIR   the folder of stats.txt, armor~weapon.txt, objects.txt\n"
         "                   and recv.wav (default: the folder that holds the program)\n"
         "  --seed N         seeds the random numbers with N, so that every run of the\n"
         "                   same script prints the same transcript (default: the time\n"
         "                   of day)\n"
         "  --world HOST:PORT  logs in to the world server at HOST:PORT\n"
         "  --world-file FILE  hosts the world described in FILE (docs/world_file.md)\n"
         "  --player-port N  the hosted world's port for players (default 7777, or\n"
         "                   any free port when 7777 is taken; 0: any free port;\n"
         "                   off: no line port, players use the browser)\n"
         "  --web-port N     the hosted world's port for browsers (default 7780, or\n"
         "                   any free port when 7780 is taken; 0: any free port)\n"
         "  --simulated      runs against the simulated world in real time\n"
         "  --console-port N  the operator's console page (default 7781, or any free\n"
         "                   port when 7781 is taken; 0: any free port); docs/console.md\n"
         "  --console-bind ADDRESS  where the console page listens (default 127.0.0.1;\n"
         "                   0.0.0.0 opens it to the network)\n"
         "  --tls-cert FILE  the console page (and the hosted world's web port) speak\n"
         "                   HTTPS only, with this PEM certificate and its chain;\n"
         "                   needs --tls-key; both are read again on SIGHUP\n"
         "  --tls-key FILE   the certificate's PEM private key\n"
         "  --answers FILE   reads the start-up answers (and any console lines after\n"
         "                   them) from FILE first, then the terminal's lines\n"
         "  --test-timer2-ms N  for tests: Timer2 every N ms instead of every second\n"
         "  --help           shows this text\n"
         "\n"
         "The console page's password is set with kelvabot console-password\n"
         "--data-dir DIR (read from standard input).\n"
         "\n"
         "The roster tool lists a data folder's characters and removes the ones\n"
         "named (kelvabot roster --help).\n"
         "\n"
         "Exit status: 0 done, 1 login refused, 2 bad option or script line,\n"
         "3 a data file could not be loaded, 4 another kelvabot runs on the data\n"
         "folder (or it cannot be used).\n";
}

std::string executableFolder() {
  std::string path(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return ".";
  path.resize(static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace kelva::app
