// Headless mode: the bot in real time, run from a terminal on a machine
// without a display.
//
// The seven start-up prompts are printed, one line each, and answered by
// lines of the input (the lines of an answers file, when given, come first). Afterwards the input takes the operator's console lines
// in the words of the world-script language:
//   admin INDEX NAME    select NAME    text2 TEXT    text3 TEXT    change    close
// and, while the world is the simulated one, its avatars' event lines too
// (arrive, chat, click-object, click-avatar, world-add, world-delete), which
// the event pump delivers at its next tick. The console's effects are printed
// in the transcript's words (combo1, text2, text3, list1, sound, messagebox);
// what the bot does in the world is printed by the world.
//
// Timer1 (500 ms) and Timer2 (1 s) tick from the start, timawwait (250 ms)
// from the login on, all on the one thread; SDK events are delivered only
// inside Wait. `close`, SIGINT and SIGTERM run the shutdown countdown and end
// the program. When the input ends after the login the bot runs on until a
// signal stops it, as a server's bot does.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "data/file_system.h"
#include "state/console_model.h"
#include "state/world_sdk.h"

namespace kelva {
class Form1;
class SimWorld;
}

namespace kelva::app {

class EventRouter;
class RealtimeLoop;

struct HeadlessSettings {
  std::string dataDir;
  std::optional<int64_t> seed;  // none: the time of day
  int inputFd = 0;              // where the prompts' answers and the console lines come from
  // Lines taken before those of inputFd (the --answers file), as if typed first.
  std::string preloadedInput;
  bool handleSignals = true;    // SIGINT and SIGTERM shut the bot down
  // Timer2's interval: a second, except in tests that shorten it.
  std::chrono::milliseconds timer2Interval{1000};
  // Called once the state object exists, before the start-up sequence: a
  // network world uses it to re-query the bot's surroundings after it logs in again.
  std::function<void(Form1&)> onFormReady;
  // Called once the bot plays (after its start-up), with its router and its
  // loop: the console page is served from here, between the ticks.
  std::function<void(Form1&, EventRouter&, RealtimeLoop&)> onRunning;
  // Words for a refused login's code, shown beside it (none: the bare code).
  std::function<std::string(int32_t)> loginCodeMeaning;
};

// Where every output line goes (the console's effects, the prompts); the
// world prints its own lines through its own sink.
using LineSink = std::function<void(const std::string&)>;

// Runs the bot until it is closed; returns the exit status: 0 closed (or a
// prompt cancelled), 1 the login was refused, 3 a data file could not be
// loaded. `simulated` is the world itself when it is the simulated one (its
// avatars then take event lines from the input), else nullptr. Diagnostics go
// to standard error.
int runHeadless(WorldSdk& world, SimWorld* simulated, FileSystem& files, const HeadlessSettings& settings,
                const LineSink& out);

}  // namespace kelva::app
