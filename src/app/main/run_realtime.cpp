#include "app/main/run_realtime.h"

#include <chrono>
#include <iostream>
#include <thread>

#include "app/headless.h"
#include "data/file_system.h"
#include "session/sim_world.h"

#ifdef KELVA_WITH_QT
#include "console/qt/window_mode.h"
#endif

namespace kelva::app {

namespace {

// What the bot does in the world, and the terminal console's lines, go to
// standard output as they happen.
void printLine(const std::string& line) { std::cout << line << std::endl; }

}  // namespace

int runRealtime(int argc, char** argv, const Options& options, const std::string& dataDir) {
  SimWorld world(printLine);
  // Wait lets real time pass: the countdown's lines come a second apart.
  world.setSleepHook([](int32_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  });
  DiskFileSystem files;

  const bool headless = options.headless || !displayAvailable();
#ifdef KELVA_WITH_QT
  if (!headless) {
    int qtArgc = argc;
    return console::runWindow(qtArgc, argv, world, files, console::WindowSettings{dataDir, options.seed});
  }
#else
  (void)argc;
  (void)argv;
  if (!headless) std::cerr << "kelvabot: built without the console window; running headless\n";
#endif
  HeadlessSettings settings;
  settings.dataDir = dataDir;
  settings.seed = options.seed;
  return runHeadless(world, &world, files, settings, printLine);
}

}  // namespace kelva::app
