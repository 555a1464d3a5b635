// How the program ends when its start-up did not leave the bot playing; the
// same in script, headless and window mode.
#pragma once

#include <iosfwd>
#include <optional>

#include "session/startup.h"

namespace kelva::app {

inline constexpr int kExitLoginRefused = 1;
inline constexpr int kExitDataError = 3;

// nullopt while the bot plays on; otherwise the exit status: 0 when the
// operator cancelled a prompt, kExitLoginRefused when the world refused the
// login, kExitDataError when a data file could not be loaded (which file and
// line is then written to `err`).
std::optional<int> startupExitStatus(const session::StartupResult& started, std::ostream& err);

}  // namespace kelva::app
