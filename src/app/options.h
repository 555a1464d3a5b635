// The command line of kelvabot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/result.h"

namespace kelva::app {

struct Options {
  bool help = false;
  std::optional<std::string> scriptFile;  // "-" reads the script from standard input
  std::optional<std::string> dataDir;     // none: the folder that holds the executable
  std::optional<int64_t> seed;            // none: the time of day
  bool headless = false;                  // run in real time from the terminal, without a window
  // The world: a running world server (--world HOST:PORT, kept as HOST and
  // PORT), else one the bot hosts itself on loopback (--world-file FILE,
  // else the demo world, players on --player-port and browsers on
  // --web-port), or the simulated world
  // in real time (--simulated).
  std::optional<std::string> worldHost;
  std::optional<std::string> worldPort;
  std::optional<std::string> worldFile;
  std::optional<uint16_t> playerPort;
  bool playerPortOff = false;  // --player-port off: the hosted world has no line port
  std::optional<uint16_t> webPort;
  bool simulated = false;
  // A file whose lines come before standard input's: the seven start-up
  // answers, then any console lines (admin 0 Kaya, ...). The operator's own
  // lines are then read from the terminal itself.
  std::optional<std::string> answersFile;
  // The operator's console page in a browser: its port (none: 7781, or any
  // free port when that is taken) and the address it listens on (none: loopback).
  std::optional<uint16_t> consolePort;
  std::optional<std::string> consoleBind;
  // A PEM certificate (with its chain) and its private key: the console page
  // then speaks HTTPS only, and so does the web port of a world the bot
  // hosts itself. Both or neither.
  std::optional<std::string> tlsCertificate;
  std::optional<std::string> tlsKey;
  // For tests only: Timer2 ticks every this many milliseconds instead of
  // every second, so a shroom regrows in seconds. The game's rules are untouched.
  std::optional<int> testTimer2Ms;
};

// Whether a window can be shown: a display (X11 or Wayland) is named in the
// environment.
bool displayAvailable();

// Reads the arguments after the program name. Each option takes its value as
// the next argument or after "=" ("--seed 7", "--seed=7"). An unknown option,
// a missing value or a seed that is not a whole number is an error.
Result<Options> parseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string usageText();

// The folder that holds the running executable; "." when it cannot be found.
std::string executableFolder();

}  // namespace kelva::app
