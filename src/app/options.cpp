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
    std::optional<std::string> value;
    const auto equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    if (arg != "--script" && arg != "--data-dir" && arg != "--seed") {
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
    } else {
      const auto seed = wholeNumber(*value);
      if (!seed) return Status::error("--seed needs a whole number, not \"" + *value + "\"");
      options.seed = *seed;
    }
  }
  if (options.headless && options.scriptFile) {
    return Status::error("--headless and --script do not go together: a script runs without real time");
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
  return "Usage: kelvabot [--headless] [--data-dir DIR] [--seed N]\n"
         "       kelvabot --script FILE [--data-dir DIR] [--seed N]\n"
         "\n"
         "Without --script the bot runs in real time. With a display it opens the\n"
         "operator's console window and asks the seven start-up questions in dialog\n"
         "boxes; without one (or with --headless) it asks them on the terminal and\n"
         "then reads console lines (admin INDEX NAME, select NAME, text2 TEXT,\n"
         "text3 TEXT, change, close) from standard input. Closing the window,\n"
         "close, SIGINT or SIGTERM make the bot leave the world with its countdown.\n"
         "For now the world is the simulated one, whose avatars take the script's\n"
         "event lines (arrive, chat, click-object, ...) on the terminal too.\n"
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
         "  --help           shows this text\n"
         "\n"
         "Exit status: 0 done, 1 login refused, 2 bad option or script line,\n"
         "3 a data file could not be loaded.\n";
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
