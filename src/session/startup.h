// Start-up (the window's load handler), the event pump and shutdown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelva {
class Form1;
class Dialogs;
}  // namespace kelva

namespace kelva::session {

enum class StartupOutcome {
  kRunning,       // logged in, data loaded, query sent: play goes on
  kCancelled,     // the operator cancelled a prompt: the program ends
  kLoginRefused,  // the message box was shown and closed: the program ends
  kDataError      // a data file could not be loaded whole: the program ends
};

struct StartupResult {
  StartupOutcome outcome = StartupOutcome::kRunning;
  int32_t loginCode = 0;
  std::string message;  // for kDataError: which file and line
};

// The load handler: seeds the generator (from `seed` when given, else the
// time of day), Init, the seven prompts, StartBot, timawwait, the three
// loaders, the shroom cache and the first query.
StartupResult formLoad(Form1& form, Dialogs& dialogs, std::optional<int64_t> seed);

// The unload handler: the three-second countdown, Destroy and Term.
void formUnload(Form1& form);

}  // namespace kelva::session
