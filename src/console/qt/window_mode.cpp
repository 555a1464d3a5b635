#include "console/qt/window_mode.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "app/event_router.h"
#include "app/explained_dialogs.h"
#include "app/shutdown_signals.h"
#include "app/startup_exit.h"
#include "console/qt/console_window.h"
#include "session/startup.h"
#include "state/form1.h"
#include "state/held_outputs.h"

namespace kelva::console {

namespace {

// Whether the Wayland compositor's socket takes a connection.
bool waylandSocketOpens(const char* display) {
  std::string path = display;
  if (path.front() != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    path = std::string(runtime) + "/" + path;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool displayOpens() {
  // Qt aborts the program when it cannot open its display, so the bot tries
  // the display itself first, the way Qt will: X11 when DISPLAY is named.
  const char* x11 = std::getenv("DISPLAY");
  if (x11 && *x11) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
  }
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland && *wayland && waylandSocketOpens(wayland);
}

void everyOnWindow(QWidget& window, std::chrono::milliseconds interval, std::function<void()> work) {
  // A child of the window: it stops with the window, before the form it serves goes.
  auto* timer = new QTimer(&window);
  timer->setInterval(static_cast<int>(interval.count()));
  QObject::connect(timer, &QTimer::timeout, &window, [work = std::move(work)] {
    // Nothing may escape into Qt's event loop.
    try {
      work();
    } catch (const std::exception& e) {
      std::cerr << "kelvabot: " << e.what() << "\n";
    }
  });
  timer->start();
}

int runWindow(int& argc, char** argv, WorldSdk& world, FileSystem& files, const WindowSettings& settings) {
  QApplication app(argc, argv);
  ConsoleWindow window(settings.dataDir);
  // The bot's outputs of each round wait here until its saves are written.
  HeldOutputs held(world, window, window);
  auto form = std::make_unique<Form1>(held, files, held, held, settings.dataDir);
  app::EventRouter router(*form, &held);
  window.attach(*form, router);
  if (settings.onFormReady) settings.onFormReady(*form);

  // Ctrl-C in the terminal and SIGTERM stop the bot as closing the window does.
  app::ShutdownSignals shutdownSignals;
  std::unique_ptr<QSocketNotifier> signalNotifier;
  if (shutdownSignals.fd() >= 0) {
    signalNotifier = std::make_unique<QSocketNotifier>(shutdownSignals.fd(), QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&] {
      if (shutdownSignals.drain()) window.requestStop();
    });
  }

  // The prompts run their own event loops, so Timer1 and Timer2 already tick
  // while the operator answers them.
  app::ExplainedDialogs dialogs(window, settings.loginCodeMeaning);
  const session::StartupResult started = session::formLoad(*form, dialogs, settings.seed);
  if (const std::optional<int> status = app::startupExitStatus(started, std::cerr)) {
    if (started.outcome == session::StartupOutcome::kDataError) {
      // Shown as well as logged: the operator at the desktop may not see the
      // terminal.
      QMessageBox box(QMessageBox::Critical, "kelvabot", QString::fromStdString(started.message), QMessageBox::Ok);
      box.exec();
    }
    return *status;
  }
  window.startTimawwait();
  if (settings.onRunning) {
    // The timers are the window's children: none outlives the form they serve.
    settings.onRunning(*form, router, [&window](std::chrono::milliseconds interval, std::function<void()> work) {
      everyOnWindow(window, interval, std::move(work));
    });
  }
  window.show();
  return app.exec();
}

}  // namespace kelva::console
