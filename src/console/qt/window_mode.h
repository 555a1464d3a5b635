// Window mode: the bot in real time with the operator's console window.
//
// The window is created first (Timer1 and Timer2 tick from then on), the
// start-up prompts are modal dialog boxes, and once the bot is logged in the
// window shows and the event pump starts. Closing the window runs the
// shutdown countdown and ends the program.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "data/file_system.h"
#include "state/world_sdk.h"

class QWidget;

namespace kelva {
class Form1;
}
namespace kelva::app {
class EventRouter;
}

namespace kelva::console {

struct WindowSettings {
  std::string dataDir;          // the data files and recv.wav
  std::optional<int64_t> seed;  // none: the time of day
  // Called once the state object exists, before the start-up sequence: a
  // network world uses it to re-query the bot's surroundings after it logs in again.
  std::function<void(Form1&)> onFormReady;
  // Words for a refused login's code, shown beside it (none: the bare code).
  std::function<std::string(int32_t)> loginCodeMeaning;
  // Called once the bot plays (after its start-up) with a way to run work
  // every so often on the window's thread: the console page is served from
  // there, between the window's own events.
  std::function<void(Form1&, app::EventRouter&,
                     const std::function<void(std::chrono::milliseconds, std::function<void()>)>& every)>
      onRunning;
};

// Whether a window can be opened on the display the environment names: the
// X server (or Wayland compositor) is there and takes the connection.
bool displayOpens();

// Runs `work` every `interval` on the window's thread, for as long as
// `window` lives: how the window mode serves the console page.
void everyOnWindow(QWidget& window, std::chrono::milliseconds interval, std::function<void()> work);

// Runs the program until the window is closed; returns the exit status: 0
// closed (or a prompt cancelled), 1 the login was refused, 3 a data file
// could not be loaded. `argc` and `argv` go to Qt (which may take its own
// options from them).
int runWindow(int& argc, char** argv, WorldSdk& world, FileSystem& files, const WindowSettings& settings);

}  // namespace kelva::console
