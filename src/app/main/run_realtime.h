// The bot in real time, with the operator's console window or headless.
#pragma once

#include <string>

#include "app/options.h"

namespace kelva::app {

// Runs the bot in real time until it is closed and returns the exit status:
// the console window when a display is there (and the window was built),
// the terminal otherwise or with --headless. The world is the simulated one
// for now; both modes take it as a WorldSdk, so another backend plugs in the
// same way.
int runRealtime(int argc, char** argv, const Options& options, const std::string& dataDir);

}  // namespace kelva::app
