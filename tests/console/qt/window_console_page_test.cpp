#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/event_router.h"
#include "app/online_avatars.h"
#include "console/qt/console_window.h"
#include "console/qt/window_mode.h"
#include "console/web/console_page.h"
#include "console/web/console_password.h"
#include "data/stats_file.h"
#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::testing {
namespace {

namespace http = boost::beast::http;
using Lines = std::vector<std::string>;

struct Answer {
  unsigned status = 0;
  nlohmann::json data;
  std::string setCookie;
};

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

  PlayerRecord& givenPlayer(const std::string& name, int32_t exp, int32_t gold) {
    PlayerRecord& r = form.roster[static_cast<std::size_t>(form.playerCount++)];
    setStartingValues(r, name);
    r.exp = exp;
    r.gold = gold;
    form.console.addCombo1(name);
    return r;
  }

  // A request from another thread; this one runs the window's events meanwhile.
  Answer ask(const std::string& target, const std::string& body) {
    auto future = std::async(std::launch::async, [&] {
      boost::asio::io_context io;
      boost::beast::tcp_stream stream(io);
      stream.expires_after(std::chrono::seconds(20));
      stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
      http::request<http::string_body> request(http::verb::post, target, 11);
      request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
      if (!cookie.empty()) request.set(http::field::cookie, cookie);
      if (!formKey.empty()) request.set("X-Kelva-Form-Key", formKey);
      request.body() = body;
      request.prepare_payload();
      http::write(stream, request);
      boost::beast::flat_buffer buffer;
      http::response<http::string_body> response;
      http::read(stream, buffer, response);
      return Answer{response.result_int(), nlohmann::json::parse(response.body(), nullptr, false),
                    std::string(response[http::field::set_cookie])};
    });
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return future.get();
  }

  void logIn() {
    const Answer in = ask("/api/login", R"({"password":"operator's password"})");
    ASSERT_EQ(in.status, 200u) << in.data.dump();
    cookie = in.setCookie.substr(0, in.setCookie.find(';'));
    formKey = in.data.value("formKey", "");
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

TEST_F(WindowConsolePage, AGiftThroughThePageIsTheWindowsChange) {
  PlayerRecord& bob = givenPlayer("Bob", 250, 40);
  PlayerRecord& ann = givenPlayer("Ann", 250, 40);
  open();
  logIn();
  EXPECT_EQ(ask("/api/select", R"({"name":"Bob"})").data["text2"], "250");
  EXPECT_EQ(ask("/api/change", R"({"text2":"312.5","text3":"41"})").status, 200u);
  const Lines viaPage = world.calls;
  world.calls.clear();

  // The window's own Change for Ann, an identical character.
  auto* combo = window.findChild<QComboBox*>("Combo1");
  auto* text2 = window.findChild<QLineEdit*>("Text2");
  auto* text3 = window.findChild<QLineEdit*>("Text3");
  ASSERT_TRUE(combo && text2 && text3);
  combo->activated(1);
  text2->setText("312.5");
  text3->setText("41");
  QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);

  EXPECT_EQ(viaPage, (Lines{"say A special gift of 62.5exp and 1gp was given to Bob."}));
  EXPECT_EQ(world.calls, (Lines{"say A special gift of 62.5exp and 1gp was given to Ann."}));
  EXPECT_EQ(bob.exp, 312);
  EXPECT_EQ(bob.gold, 41);
  EXPECT_EQ(ann.exp, 312);
  EXPECT_EQ(files.files["/data/stats.txt"], formatStatsFile(form.roster, 2));
}

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
  givenPlayer("Bob", 250, 40);
  givenPlayer("\"mira\"", 7, 3);
  givenPlayer("Kaya", 9, 9);
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
