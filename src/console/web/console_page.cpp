#include "console/web/console_page.h"

#include <chrono>
#include <cstdlib>
#include <ostream>

#include "console/web/console_password.h"
#include "data/install_paths.h"
#include "state/form1.h"

namespace kelva::console::web {

namespace {

// How often the loop serves the page: quick enough that a click feels
// immediate, rare enough to cost nothing measurable.
constexpr std::chrono::milliseconds kPollInterval{20};

std::string pageRoot() {
  const char* root = std::getenv("KELVA_CONSOLE_ROOT");
  return root && *root ? root : sharedFolder("console-web");
}

}  // namespace

std::unique_ptr<ConsolePage> ConsolePage::open(Form1& form, app::EventRouter& router, const PollEvery& every,
                                               const ActivityFeed* feed, GameMetrics& metrics,
                                               const app::OnlineAvatars* online, const ConsolePlace& place,
                                               std::ostream& out, std::ostream& err) {
  ConsoleServerSettings settings;
  settings.bind = place.bind;
  settings.port = place.port;
  settings.tls = place.tls;
  settings.pageRoot = pageRoot();
  settings.chartFile = kChartFile;
  settings.soundFile = dataPath(form.dataDir, "recv.wav");
  settings.passwordHash = [&form] { return loadConsolePasswordHash(form.files, form.dataDir); };
  const auto hash = settings.passwordHash();
  std::unique_ptr<ConsolePage> page(new ConsolePage(form, router, feed, metrics, online, std::move(settings)));
  if (Status started = page->server_.start(); !started.isOk()) {
    err << "kelvabot: " << started.message() << "; playing without the console page\n";
    return nullptr;
  }
  out << "Operator console: " << page->server_.address() << std::endl;
  if (!hash.isOk()) {
    err << "kelvabot: " << hash.status().message() << "; nobody can log in to the console page until it is fixed\n";
  } else if (!hash.value()) {
    err << "kelvabot: no console password is set yet: kelvabot console-password --data-dir " << form.dataDir << "\n";
  }
  ConsoleServer* server = &page->server_;
  every(kPollInterval, [server] { server->poll(); });
  return page;
}

void ConsolePage::reloadTls(std::ostream& err) {
  const Status s = server_.reloadTls();
  err << (s.isOk() ? "kelvabot: console: certificate and key read again; new connections get them"
                   : "kelvabot: console: the certificate was not changed: " + s.message())
      << std::endl;
}

}  // namespace kelva::console::web
