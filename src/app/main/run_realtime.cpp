#include "app/main/run_realtime.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "app/headless.h"
#include "app/main/hosted_world.h"
#include "app/shutdown_signals.h"
#include "data/file_system.h"
#include "net/net_world_sdk.h"
#include "session/sim_world.h"
#include "state/form1.h"

#ifdef KELVA_WITH_QT
#include "console/qt/window_mode.h"
#endif

namespace kelva::app {

namespace {

// What the bot does in the world, and the terminal console's lines, go to
// standard output as they happen.
void printLine(const std::string& line) { std::cout << line << std::endl; }

// Runs the bot on `world`, in the window or on the terminal.
int runOn(int argc, char** argv, const Options& options, const std::string& dataDir, WorldSdk& world,
          SimWorld* simulated, const std::function<void(Form1&)>& onFormReady) {
  DiskFileSystem files;
  const bool headless = options.headless || !displayAvailable();
#ifdef KELVA_WITH_QT
  if (!headless) {
    int qtArgc = argc;
    return console::runWindow(qtArgc, argv, world, files, console::WindowSettings{dataDir, options.seed, onFormReady});
  }
#else
  (void)argc;
  (void)argv;
  if (!headless) std::cerr << "kelvabot: built without the console window; running headless\n";
#endif
  HeadlessSettings settings;
  settings.dataDir = dataDir;
  settings.seed = options.seed;
  if (options.testTimer2Ms) settings.timer2Interval = std::chrono::milliseconds(*options.testTimer2Ms);
  settings.onFormReady = onFormReady;
  return runHeadless(world, simulated, files, settings, printLine);
}

}  // namespace

int runRealtime(int argc, char** argv, const Options& options, const std::string& dataDir) {
  // Before any thread starts: Ctrl-C and SIGTERM must reach the bot's own
  // loop, which says the countdown, and never kill a worker thread's process.
  blockShutdownSignals();
  if (options.simulated) {
    SimWorld world(printLine);
    // Wait lets real time pass: the countdown's lines come a second apart.
    world.setSleepHook([](int32_t ms) {
      if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    return runOn(argc, argv, options, dataDir, world, &world, nullptr);
  }

  // A world over the network: a running world server, or one hosted here.
  std::unique_ptr<HostedWorld> hosted;
  net::NetOptions net;
  if (options.worldHost) {
    net.host = *options.worldHost;
    net.port = *options.worldPort;
  } else {
    Result<std::unique_ptr<HostedWorld>> started = HostedWorld::start(options.worldFile, options.playerPort, std::cerr);
    if (!started.isOk()) {
      std::cerr << "kelvabot: cannot host the world: " << started.status().message() << "\n";
      return 1;
    }
    hosted = std::move(started.value());
    net.host = "127.0.0.1";
    net.port = std::to_string(hosted->botPort());
    std::cout << hosted->instructions() << std::flush;
  }
  net::NetWorldSdk world(net);
  // After a lost connection the bot is logged in again by the SDK; it then
  // looks at its surroundings afresh. The world reports every object again,
  // so the shroom cache starts empty rather than hold each shroom twice.
  auto onFormReady = [&world](Form1& form) {
    world.setReconnectHook([&world, &form] {
      form.lastShroomIndex = -1;
      form.cellSequence = CellSequenceTable{};
      world.Query(form.homeSectorX, form.homeSectorZ, form.cellSequence);
    });
  };
  return runOn(argc, argv, options, dataDir, world, nullptr, onFormReady);
}

}  // namespace kelva::app
