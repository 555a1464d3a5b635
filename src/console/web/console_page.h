// The console page of a running bot: its server, polled by the bot's loop,
// and the answer to where the operator finds it. The page's files come from
// share/kelva/console-web of the installed program (the source tree's
// console-web/ when it runs from its build folder) unless KELVA_CONSOLE_ROOT
// names another folder; Chart.js from the system's package.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "console/web/activity_feed.h"
#include "console/web/console_api.h"
#include "console/web/console_server.h"
#include "console/web/metrics.h"

namespace kelva::app {
class RealtimeLoop;
}

namespace kelva::console::web {

inline constexpr const char* kChartFile = "/usr/share/javascript/chart.js/chart.min.js";

class ConsolePage {
 public:
  // Opens the page on `bind` and `port` for the bot of `form` (`online`, the
  // avatars in the world, may be null), and has
  // `loop` serve it every few milliseconds. Prints "Operator console: URL"
  // to `out`; a failure to `err`, and then the bot plays without its page
  // (nullptr).
  static std::unique_ptr<ConsolePage> open(Form1& form, app::EventRouter& router, app::RealtimeLoop& loop,
                                           const ActivityFeed* feed, GameMetrics& metrics,
                                           const app::OnlineAvatars* online, const std::string& bind, uint16_t port,
                                           std::ostream& out, std::ostream& err);

 private:
  ConsolePage(Form1& form, app::EventRouter& router, const ActivityFeed* feed, GameMetrics& metrics,
              const app::OnlineAvatars* online, ConsoleServerSettings settings)
      : api_(form, router, feed, &metrics, online), server_(std::move(settings), api_, metrics) {}
  ConsoleApi api_;
  ConsoleServer server_;
};

}  // namespace kelva::console::web
