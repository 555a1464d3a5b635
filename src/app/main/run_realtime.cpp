#include "app/main/run_realtime.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/data_folder_lock.h"
#include "app/headless.h"
#include "app/main/activity_file_log.h"
#include "app/main/hosted_world.h"
#include "app/online_avatars.h"
#include "app/realtime_loop.h"
#include "app/shutdown_signals.h"
#include "console/web/activity_feed.h"
#include "console/web/console_page.h"
#include "console/web/metered_files.h"
#include "console/web/metered_world.h"
#include "data/file_system.h"
#include "net/login_codes.h"
#include "net/net_world_sdk.h"
#include "session/sim_world.h"
#include "state/form1.h"
#include "world/ports/web_tls.h"

#ifdef KELVA_WITH_QT
#include "console/qt/window_mode.h"
#endif

namespace kelva::app {

namespace {

// What the bot does in the world, and the terminal console's lines, go to
// standard output as they happen.
void printLine(const std::string& line) { std::cout << line << std::endl; }

// Whether the bot runs from the terminal: asked to, given its answers in a
// file, or with no display that opens (then with a one-line notice).
bool runsHeadless(const Options& options) {
  if (options.headless || options.answersFile || !displayAvailable()) return true;
#ifdef KELVA_WITH_QT
  if (!console::displayOpens()) {
    std::cerr << "kelvabot: the display named in the environment cannot be opened; running headless\n";
    return true;
  }
  return false;
#else
  std::cerr << "kelvabot: built without the console window; running headless\n";
  return true;
#endif
}

// The operator's figures and the activity events the console page shows.
struct ConsoleFeeds {
  console::web::GameMetrics& metrics;
  console::web::ActivityFeed& activity;
  OnlineAvatars& online;
  // Has a world the bot hosts read its certificate again (SIGHUP).
  std::function<void()> reloadHostedTls;
};

// How often a SIGHUP is looked for.
constexpr std::chrono::milliseconds kHangupCheck{500};

// Where the console page listens, from the command line.
console::web::ConsolePlace consolePlace(const Options& options) {
  console::web::ConsolePlace place;
  place.bind = options.consoleBind.value_or("127.0.0.1");
  place.port = options.consolePort.value_or(console::web::kDefaultConsolePort);
  if (options.tlsCertificate) place.tls = world::WebTlsOptions{*options.tlsCertificate, *options.tlsKey};
  return place;
}

// Runs the bot on `world`, in the window or on the terminal.
int runOn(int argc, char** argv, const Options& options, const std::string& dataDir, const std::string& answers,
          WorldSdk& world, SimWorld* simulated, const std::function<void(Form1&)>& onFormReady,
          const std::function<std::string(int32_t)>& loginCodeMeaning, const ConsoleFeeds& feeds) {
  DiskFileSystem disk;
  console::web::MeteredFiles files(disk, feeds.metrics);
  console::web::MeteredWorld metered(world, feeds.metrics);
  // The console page, from the login on, in the window as on the terminal;
  // the bot plays on without it when its port cannot be opened.
  std::unique_ptr<console::web::ConsolePage> page;
  auto openPage = [&](Form1& form, EventRouter& router, const console::web::PollEvery& every) {
    page = console::web::ConsolePage::open(form, router, every, &feeds.activity, feeds.metrics, &feeds.online,
                                           consolePlace(options), std::cout, std::cerr);
    if (!options.tlsCertificate) return;
    // SIGHUP (blocked since the start) reads the certificate again, as the
    // world does after a renewal; it is looked for between the game's events.
    auto hangup = std::make_shared<ShutdownSignals>(std::initializer_list<int>{SIGHUP});
    if (hangup->fd() < 0) return;
    every(kHangupCheck, [hangup, &page, &feeds] {
      if (!hangup->drain()) return;
      if (page) page->reloadTls(std::cerr);
      if (feeds.reloadHostedTls) feeds.reloadHostedTls();
    });
  };
  const bool headless = runsHeadless(options);
#ifdef KELVA_WITH_QT
  if (!headless) {
    int qtArgc = argc;
    return console::runWindow(qtArgc, argv, metered, files,
                              console::WindowSettings{dataDir, options.seed, onFormReady, loginCodeMeaning, openPage});
  }
#else
  // Built without the window: the bot runs on the terminal whatever the
  // options said (runsHeadless has told the operator so).
  (void)headless;
  (void)argc;
  (void)argv;
#endif
  HeadlessSettings settings;
  settings.dataDir = dataDir;
  settings.seed = options.seed;
  settings.preloadedInput = answers;
  if (options.testTimer2Ms) settings.timer2Interval = std::chrono::milliseconds(*options.testTimer2Ms);
  settings.onFormReady = onFormReady;
  settings.loginCodeMeaning = loginCodeMeaning;
  settings.onRunning = [&](Form1& form, EventRouter& router, RealtimeLoop& loop) {
    openPage(form, router, [&loop](std::chrono::milliseconds interval, std::function<void()> work) {
      loop.startTimer(loop.timers().add(interval, std::move(work)));
    });
  };
  return runHeadless(metered, simulated, files, settings, printLine);
}

}  // namespace

int runRealtime(int argc, char** argv, const Options& options, const std::string& dataDir) {
  // Before any thread starts: Ctrl-C and SIGTERM must reach the bot's own
  // loop, which says the countdown, and never kill a worker thread's process.
  blockShutdownSignals();
  if (options.tlsCertificate) blockHangup();

  // One bot per data folder: a second one would overwrite the first one's saves.
  Result<FileLock> lock = DataFolderLock::acquire(dataDir);
  if (!lock.isOk()) {
    std::cerr << "kelvabot: " << lock.status().message() << "\n";
    return 4;
  }
  // A certificate that cannot be used stops the bot before it logs in: the
  // operator asked for HTTPS, and must not get a bot without its page.
  if (options.tlsCertificate) {
    if (auto tls = world::loadTlsContext(consolePlace(options).tls); !tls.isOk()) {
      std::cerr << "kelvabot: " << tls.status().message() << "\n";
      return 2;
    }
  }
  std::string answers;
  if (options.answersFile) {
    std::ifstream file(*options.answersFile, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file || file.bad()) {
      std::cerr << "kelvabot: cannot read the answers file " << *options.answersFile << "\n";
      return 2;
    }
    answers = text.str();
  }

  // The operator's record of the game, beside the data it describes. Without
  // it the bot still plays: the game must not stop for its log.
  std::unique_ptr<ActivityFileLog> activity;
  if (auto opened = ActivityFileLog::open(dataDir); opened.isOk()) {
    activity = std::move(opened.value());
  } else {
    std::cerr << "kelvabot: " << opened.status().message() << "; playing without it\n";
  }
  console::web::ActivityFeed feed(activity ? static_cast<ActivityLog&>(*activity) : noActivityLog());
  console::web::GameMetrics metrics;
  OnlineAvatars online;
  std::unique_ptr<HostedWorld> hosted;
  const ConsoleFeeds feeds{metrics, feed, online, [&hosted] {
                             if (hosted) hosted->reloadTls();
                           }};
  ActivityLog& activityLog = feed;
  auto attachLog = [&activityLog](Form1& form) { form.activityLog = &activityLog; };

  if (options.simulated) {
    SimWorld world(printLine);
    // Wait lets real time pass: the countdown's lines come a second apart.
    world.setSleepHook([](int32_t ms) {
      if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    return runOn(argc, argv, options, dataDir, answers, world, &world, attachLog, nullptr, feeds);
  }

  // A world over the network: a running world server, or one hosted here.
  net::NetOptions net;
  if (options.worldHost) {
    net.host = *options.worldHost;
    net.port = *options.worldPort;
  } else {
    Result<std::unique_ptr<HostedWorld>> started =
        HostedWorld::start(options.worldFile, options.playerPort, options.webPort, consolePlace(options).tls, dataDir,
                           std::cerr,
                           !options.playerPortOff);
    if (!started.isOk()) {
      std::cerr << "kelvabot: cannot host the world: " << started.status().message() << "\n";
      return 1;
    }
    hosted = std::move(started.value());
    net.host = "127.0.0.1";
    net.port = std::to_string(hosted->botPort());
    std::cout << hosted->instructions() << std::flush;
  }
  net.echo = printLine;
  net::NetWorldSdk world(net);
  // Who is online, for the operator: beside the game, which never asks.
  world.setPresenceHook([&online, &metrics](net::NetWorldSdk::Presence what, const std::string& name, int32_t session) {
    switch (what) {
      case net::NetWorldSdk::Presence::kArrived:
        online.arrived(name, session);
        break;
      case net::NetWorldSdk::Presence::kLeft:
        online.left(session);
        break;
      case net::NetWorldSdk::Presence::kReset:
        online.clear();
        break;
    }
    metrics.playersOnline(online.count());
  });
  // After a lost connection the bot is logged in again by the SDK; it then
  // looks at its surroundings afresh. The world reports every object again,
  // so the shroom cache starts empty rather than hold each shroom twice.
  // The query goes through the form's world, so that the replies the round
  // holds so far leave before it, in the order they were made.
  // The form lives only inside runOn, and the SDK calls the hook only inside
  // Wait; the hook is taken away as runOn returns, however it returns, so no
  // hook is left that points at a form that is gone.
  struct HookRemoval {
    net::NetWorldSdk& world;
    ~HookRemoval() {
      world.setReconnectHook(nullptr);
      world.setPresenceHook(nullptr);
    }
  } removal{world};
  auto onFormReady = [&world, &attachLog](Form1& form) {
    attachLog(form);
    world.setReconnectHook([&form] {
      form.activityLog->record("the bot logged in again after the connection to the world was lost");
      form.lastShroomIndex = -1;
      form.cellSequence = CellSequenceTable{};
      form.sdk.Query(form.homeSectorX, form.homeSectorZ, form.cellSequence);
    });
  };
  return runOn(argc, argv, options, dataDir, answers, world, nullptr, onFormReady, net::loginCodeMeaning, feeds);
}

}  // namespace kelva::app
