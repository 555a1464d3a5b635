#include "console/qt/window_mode.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <iostream>
#include <memory>

#include "app/event_router.h"
#include "app/shutdown_signals.h"
#include "console/qt/console_window.h"
#include "session/startup.h"
#include "state/form1.h"
#include "state/held_outputs.h"

namespace kelva::console {

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
  const session::StartupResult started = session::formLoad(*form, window, settings.seed);
  switch (started.outcome) {
    case session::StartupOutcome::kRunning:
      break;
    case session::StartupOutcome::kCancelled:
      return 0;
    case session::StartupOutcome::kLoginRefused:
      // The message box with the code has been shown and closed.
      return 1;
    case session::StartupOutcome::kDataError: {
      // Shown as well as logged: the operator at the desktop may not see the
      // terminal.
      std::cerr << "kelvabot: " << started.message << "\n";
      QMessageBox box(QMessageBox::Critical, "kelvabot", QString::fromStdString(started.message), QMessageBox::Ok);
      box.exec();
      return 3;
    }
  }
  window.startTimawwait();
  window.show();
  return app.exec();
}

}  // namespace kelva::console
