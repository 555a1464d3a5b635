#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <sstream>

#include "app/event_router.h"
#include "app/online_avatars.h"
#include "console/qt/console_window.h"
#include "console/qt/window_mode.h"
#include "console/web/console_client.h"
#include "console/web/console_page.h"
#include "console/web/console_password.h"
#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::testing {
namespace {

// The console page of a bot in window mode: served by the window's own
// timers, acting on the window's form.
class WindowConsolePage : public ::testing::Test {
 protected:
  WindowConsolePage() : window("/nonexistent"), form(world, files, window, window, "/data"), router(form) {
    window.attach(form, router);
    EXPECT_TRUE(console::web::storeConsolePassword(files, "/data", "operator's password").isOk());
  }

  void open() {
    console::web::ConsolePlace place;
    place.port = 0;
    page = console::web::ConsolePage::open(
        form, router,
        [this](std::chrono::milliseconds interval, std::function<void()> work) {
          console::everyOnWindow(window, interval, std::move(work));
        },
        nullptr, metrics, &online, place, out, err);
    ASSERT_NE(page, nullptr) << err.str();
    const std::string line = out.str();
    const auto colon = line.rfind(':');
    ASSERT_EQ(line.rfind("Operator console: http://127.0.0.1:", 0), 0u) << line;
    port = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
  }

  void givenPlayer(const std::string& name) {
    setStartingValues(form.roster[static_cast<std::size_t>(form.playerCount++)], name);
    form.console.addCombo1(name);
  }

  // A request from another thread; this one runs the window's events meanwhile.
  ConsoleAnswer ask(const std::string& target, const std::string& body) {
    return askConsole(port, {"POST", target, body, cookie, formKey},
                      [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
  }

  void logIn() {
    const ConsoleAnswer in = ask("/api/login", R"({"password":"operator's password"})");
    ASSERT_EQ(in.status, 200u) << in.body;
    cookie = in.cookie();
    formKey = in.data().value("formKey", "");
  }

  FakeWorld world;
  MemoryFileSystem files;
  console::ConsoleWindow window;
  Form1 form;
  app::EventRouter router;
  console::web::GameMetrics metrics;
  app::OnlineAvatars online;
  std::ostringstream out;
  std::ostringstream err;
  std::unique_ptr<console::web::ConsolePage> page;
  uint16_t port = 0;
  std::string cookie;
  std::string formKey;
};

TEST_F(WindowConsolePage, AnAdministratorBoxSetOnThePageShowsInTheWindowAndIsKept) {
  open();
  logIn();
  auto* box = window.findChild<QLineEdit*>("Text1(6)");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ask("/api/admin", R"({"index":6,"name":"Kaya"})").status, 200u);
  EXPECT_EQ(box->text(), "Kaya");
  // Typing in the window afterwards starts from the page's name, not a stale one.
  box->end(false);
  QTest::keyClicks(box, "2");
  EXPECT_EQ(form.console.Text1[6], "Kaya2");
  EXPECT_EQ(files.files["/data/administrators.txt"], "\n\n\n\n\n\nKaya2\n");
}

TEST_F(WindowConsolePage, ThePickerFollowsARenameMadeOnThePage) {
  givenPlayer("Bob");
  givenPlayer("\"mira\"");
  givenPlayer("Kaya");
  open();
  logIn();
  auto* combo = window.findChild<QComboBox*>("Combo1");
  ASSERT_NE(combo, nullptr);
  combo->activated(2);
  ASSERT_EQ(form.console.Combo1Text, "Kaya");

  EXPECT_EQ(ask("/api/rename", R"({"from":"\"mira\"","to":"mira"})").status, 200u);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(1), "mira");
  EXPECT_EQ(combo->currentText(), "Kaya");
  EXPECT_EQ(combo->currentIndex(), 2);
}

}  // namespace
}  // namespace kelva::testing
