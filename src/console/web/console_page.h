// The console page of a running bot: its server, polled by the bot's loop,
// and the answer to where the operator finds it. The page's files come from
// share/kelva/console-web of the installed program (the source tree's
// console-web/ when it runs from its build folder) unless KELVA_CONSOLE_ROOT
// names another folder; Chart.js from the system's package.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "console/web/activity_feed.h"
#include "console/web/console_api.h"
#include "console/web/console_server.h"
#include "console/web/metrics.h"

namespace kelva::console::web {

inline constexpr const char* kChartFile = "/usr/share/javascript/chart.js/chart.min.js";

// Has `work` run every `interval` on the game's thread, from now on, between
// the world's events and the timers: the terminal's loop or the window's
// event loop.
using PollEvery = std::function<void(std::chrono::milliseconds interval, std::function<void()> work)>;

// Where the page listens, and whether over TLS.
struct ConsolePlace {
  std::string bind = "127.0.0.1";
  uint16_t port = kDefaultConsolePort;
  world::WebTlsOptions tls;
};

class ConsolePage {
 public:
  // Opens the page at `place` for the bot of `form` (`online`, the
  // avatars in the world, may be null), and has
  // `every` serve it every few milliseconds. Prints "Operator console: URL"
  // to `out`; a failure to `err`, and then the bot plays without its page
  // (nullptr).
  static std::unique_ptr<ConsolePage> open(Form1& form, app::EventRouter& router, const PollEvery& every,
                                           const ActivityFeed* feed, GameMetrics& metrics,
                                           const app::OnlineAvatars* online, const ConsolePlace& place,
                                           std::ostream& out, std::ostream& err);

  bool secure() const { return server_.secure(); }
  // Reads the certificate again; the outcome is told on `err`.
  void reloadTls(std::ostream& err);

 private:
  ConsolePage(Form1& form, app::EventRouter& router, const ActivityFeed* feed, GameMetrics& metrics,
              const app::OnlineAvatars* online, ConsoleServerSettings settings)
      : api_(form, router, feed, &metrics, online), server_(std::move(settings), api_, metrics) {}
  ConsoleApi api_;
  ConsoleServer server_;
};

}  // namespace kelva::console::web
