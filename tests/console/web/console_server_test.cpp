#include "console/web/console_server.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "app/online_avatars.h"
#include "auth/password_hash.h"
#include "chat/dispatcher.h"
#include "console/console_actions.h"
#include "console/web/console_client.h"
#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva::console::web {
namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;
using Answer = kelva::testing::ConsoleAnswer;
using Ask = kelva::testing::ConsoleAsk;

// A console on port 0 for the game of a GameFixture. Requests are made from
// another thread while this one polls the server, as the bot's loop does.
class ConsoleServerTest : public ::testing::Test {
 protected:
  ConsoleServerTest() : api(*g.form, *g.router, nullptr, &metrics, &online) {
    ConsoleServerSettings settings;
    settings.port = 0;
    settings.pageRoot = KELVA_TESTS_DIR "/console/web";
    static const std::string hash = auth::hashPassword("right password", auth::HashCost::kMinimum).value();
    settings.passwordHash = [] { return Result<std::optional<std::string>>(std::optional<std::string>(hash)); };
    server = std::make_unique<ConsoleServer>(std::move(settings), api, metrics);
    EXPECT_TRUE(server->start().isOk());
  }

  Answer ask(const Ask& a) {
    return kelva::testing::askConsole(server->port(), a, [this] { server->poll(); });
  }

  // Logs in; the session's cookie and form key.
  std::pair<std::string, std::string> logIn() {
    const Answer a = ask({"POST", "/api/login", R"({"password":"right password"})"});
    EXPECT_EQ(a.status, 200u) << a.body;
    return {a.cookie(), a.data().value("formKey", "")};
  }

  kelva::testing::GameFixture g;
  GameMetrics metrics;
  app::OnlineAvatars online;
  ConsoleApi api;
  std::unique_ptr<ConsoleServer> server;
};

TEST_F(ConsoleServerTest, EveryViewAndActionNeedsTheOperatorsSession) {
  for (const char* view : {"/api/state", "/api/characters", "/api/charts", "/api/session", "/api/sound"}) {
    EXPECT_EQ(ask({"GET", view}).status, 401u) << view;
  }
  for (const char* action : {"/api/select", "/api/change", "/api/admin", "/api/say", "/api/logout"}) {
    EXPECT_EQ(ask({"POST", action, "{}", "kelva_console=forged"}).status, 401u) << action;
  }
  EXPECT_EQ(ask({"POST", "/api/login", R"({"password":"wrong password"})"}).status, 401u);
  const Answer in = ask({"POST", "/api/login", R"({"password":"right password"})"});
  EXPECT_EQ(in.status, 200u);
  EXPECT_NE(in.setCookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(in.setCookie.find("SameSite=Strict"), std::string::npos);
}

TEST_F(ConsoleServerTest, AForgedCrossSiteChangeIsRefusedAndChangesNothing) {
  g.givenPlayer("Bob").withExp(250).withGold(40);
  const auto [cookie, formKey] = logIn();
  console::selectCombo1(*g.form, "Bob");
  const std::string gift = R"({"text2":"300","text3":"40"})";
  // The browser sends the cookie along, but another site knows no form key.
  EXPECT_EQ(ask({"POST", "/api/change", gift, cookie}).status, 403u);
  EXPECT_EQ(ask({"POST", "/api/change", gift, cookie, "not the key"}).status, 403u);
  EXPECT_EQ(ask({"POST", "/api/change", gift, cookie, formKey, "http://evil.example"}).status, 403u);
  EXPECT_EQ(ask({"POST", "/api/login", R"({"password":"right password"})", "", "", "http://evil.example"}).status,
            403u);
  EXPECT_EQ(g.player("Bob").exp, 250);
  EXPECT_TRUE(g.takeCalls().empty());
  // Logged out, the same cookie opens nothing.
  EXPECT_EQ(ask({"POST", "/api/logout", "{}", cookie, formKey}).status, 200u);
  EXPECT_EQ(ask({"GET", "/api/state", "", cookie}).status, 401u);
}

TEST_F(ConsoleServerTest, AGiftThroughThePageIsTheWindowsChange) {
  g.givenPlayer("Bob").withExp(250).withGold(40);
  g.givenPlayer("Ann").withExp(250).withGold(40);
  const auto [cookie, formKey] = logIn();
  const Answer picked = ask({"POST", "/api/select", R"({"name":"Bob"})", cookie, formKey});
  EXPECT_EQ(picked.data()["text2"], "250");
  ask({"POST", "/api/change", R"({"text2":"312.5","text3":"40"})", cookie, formKey});
  const Lines viaPage = g.takeCalls();
  const std::string fileViaPage = g.statsFile();

  // The window's "Change" on an identical character.
  console::selectCombo1(*g.form, "Ann");
  g.form->console.Text2 = "312.5";
  g.form->console.Text3 = "40";
  g.router->consoleAction("Change", [&] { console::pressCommand1(*g.form); });
  EXPECT_EQ(viaPage, (Lines{"say A special gift of 62.5exp and 0gp was given to Bob."}));
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of 62.5exp and 0gp was given to Ann."}));
  EXPECT_EQ(g.player("Bob").exp, 312);
  EXPECT_EQ(g.player("Ann").exp, 312);
  EXPECT_NE(fileViaPage, "");
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 2));

  // The page hears why a change did nothing, as the terminal does.
  const Answer unknown = ask({"POST", "/api/select", R"({"name":"bob"})", cookie, formKey});
  EXPECT_EQ(unknown.data()["notices"].size(), 1u);
  const Answer none = ask({"POST", "/api/change", R"({"text2":"abc","text3":"1"})", cookie, formKey});
  EXPECT_EQ(none.data()["notices"].size(), 2u) << none.body;
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST_F(ConsoleServerTest, OwnerMessagesAndAdministratorsReachThePage) {
  g.givenPlayer("Kaya");
  g.form->console.addCombo1("Kaya");
  const auto [cookie, formKey] = logIn();
  EXPECT_EQ(ask({"POST", "/api/admin", R"({"index":6,"name":"Kaya"})", cookie, formKey}).status, 200u);
  EXPECT_EQ(ask({"POST", "/api/admin", R"({"index":7,"name":"Kaya"})", cookie, formKey}).status, 400u);
  EXPECT_EQ(g.file("administrators.txt"), "\n\n\n\n\n\nKaya\n");
  g.chat("Kaya", 5, "bmessage: the shop is broken");
  const json state = ask({"GET", "/api/state?list1=0", "", cookie}).data();
  EXPECT_EQ(state["text1"][6], "Kaya");
  EXPECT_EQ(state["combo1"], json::array({"Kaya"}));
  ASSERT_EQ(state["list1"].size(), 1u);
  EXPECT_NE(state["list1"][0].get<std::string>().find("the shop is broken"), std::string::npos);
  // Asked from the counts the page has, nothing old comes again.
  const json later = ask({"GET", "/api/state?combo1=1&list1=1", "", cookie}).data();
  EXPECT_EQ(later["list1"].size(), 0u);
  EXPECT_EQ(later["combo1"].size(), 0u);
  EXPECT_EQ(state["combo1Count"], 1u);
}

TEST_F(ConsoleServerTest, SayingAsTheBotHasALimit) {
  const auto [cookie, formKey] = logIn();
  const std::string longest(kLongestSay, 'a');
  EXPECT_EQ(ask({"POST", "/api/say", json{{"text", longest}}.dump(), cookie, formKey}).status, 200u);
  EXPECT_EQ(g.takeCalls(), (Lines{"say " + longest}));
  EXPECT_EQ(ask({"POST", "/api/say", json{{"text", longest + "a"}}.dump(), cookie, formKey}).status, 400u);
  EXPECT_EQ(ask({"POST", "/api/say", json{{"text", "two\nlines"}}.dump(), cookie, formKey}).status, 400u);
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST_F(ConsoleServerTest, WrongPasswordsPastTheFreeOnesAreThrottledEvenTheRightOne) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ask({"POST", "/api/login", R"({"password":"guess"})"}).status, 401u);
  // The sixth failure starts a wait; an attempt during it is refused unchecked.
  EXPECT_EQ(ask({"POST", "/api/login", R"({"password":"guess"})"}).status, 401u);
  EXPECT_EQ(ask({"POST", "/api/login", R"({"password":"right password"})"}).status, 429u);
  const std::string text = metrics.exposition();
  EXPECT_NE(text.find("kelva_logins_refused_total{reason=\"password\"} 6"), std::string::npos) << text;
  EXPECT_NE(text.find("kelva_logins_refused_total{reason=\"throttled\"} 1"), std::string::npos) << text;
}

TEST_F(ConsoleServerTest, AtMostFourPasswordChecksAreUnderWayAtOnce) {
  std::vector<unsigned> statuses;
  for (int i = 1; i <= 5; ++i) {
    ConsoleServer::Request r;
    r.method = "POST";
    r.target = "/api/login";
    r.body = R"({"password":"guess"})";
    r.address = "10.0.0." + std::to_string(i);  // each from its own address: no throttle yet
    server->handle(r, [&](ConsoleServer::Reply reply) { statuses.push_back(reply.status); });
  }
  // The fifth is refused at once; the four under way are answered as they finish.
  EXPECT_EQ(statuses, (std::vector<unsigned>{429}));
  for (int i = 0; i < 5000 && statuses.size() < 5; ++i) {
    server->poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(statuses, (std::vector<unsigned>{429, 401, 401, 401, 401}));
}

TEST_F(ConsoleServerTest, MetricsNeedNoLogInFromLoopback) {
  const Answer m = ask({"GET", "/metrics"});
  EXPECT_EQ(m.status, 200u);
  EXPECT_NE(m.body.find("# TYPE kelva_reply_seconds histogram"), std::string::npos);
}

// What the bot's presence hook does with an arrival or a departure.
void presence(app::OnlineAvatars& online, GameMetrics& metrics, const std::string& name, int32_t session, bool here) {
  if (here) online.arrived(name, session);
  else online.left(session);
  metrics.playersOnline(online.count());
}

TEST_F(ConsoleServerTest, AnAvatarThatArrivesAndLeavesShowsThenDoesNotAndIsCounted) {
  g.givenPlayer("Ann").withLevel(4).withHp(9).withMaxHp(20).withGold(77).withClan("Owls");
  const auto [cookie, formKey] = logIn();
  EXPECT_EQ(ask({"GET", "/api/online"}).status, 401u);
  presence(online, metrics, "Ann", 5, true);
  presence(online, metrics, "\"tom\"", 6, true);
  json seen = ask({"GET", "/api/online", "", cookie}).data()["online"];
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0]["name"], "Ann");
  EXPECT_EQ(seen[0]["character"], (json{{"level", 4}, {"hp", 9}, {"maxHp", 20}, {"gold", 77}, {"clan", "Owls"}}));
  EXPECT_FALSE(seen[1].contains("character"));  // a newcomer the game has not met yet
  EXPECT_NE(metrics.exposition().find("\nkelva_players_online 2\n"), std::string::npos);
  presence(online, metrics, "Ann", 5, false);
  seen = ask({"GET", "/api/online", "", cookie}).data()["online"];
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["name"], "\"tom\"");
  EXPECT_NE(metrics.exposition().find("\nkelva_players_online 1\n"), std::string::npos);
  EXPECT_EQ(metrics.lastHour().back().playersOnline, 2u);  // the most at once this minute
}

TEST_F(ConsoleServerTest, RosterActionsThroughThePageKeepOnlineGuestsAndNeedTheFormKey) {
  g.givenPlayer("\"mira\"").withLevel(6);
  g.givenPlayer("\"tom\"");
  g.givenPlayer("\"zed\"");
  presence(online, metrics, "\"tom\"", 6, true);
  const auto [cookie, formKey] = logIn();
  const std::string rename = R"({"from":"\"mira\"","to":"mira"})";
  EXPECT_EQ(ask({"POST", "/api/rename", rename, cookie}).status, 403u);
  EXPECT_EQ(ask({"POST", "/api/rename", R"({"from":"\"tom\"","to":"tom"})", cookie, formKey}).status, 400u);
  const uint64_t editsBefore = ask({"GET", "/api/state", "", cookie}).data()["rosterEdits"];
  EXPECT_EQ(ask({"POST", "/api/rename", rename, cookie, formKey}).status, 200u);
  EXPECT_NE(g.statsFile().find("mira,6,"), std::string::npos);
  const Answer removed = ask({"POST", "/api/remove-guests", "{}", cookie, formKey});
  EXPECT_EQ(removed.status, 200u);
  EXPECT_EQ(removed.data()["removed"], 1);  // "zed"; "tom" is online
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 2));
  EXPECT_EQ(g.form->roster[1].name, "\"tom\"");
  EXPECT_EQ(ask({"GET", "/api/state", "", cookie}).data()["rosterEdits"], editsBefore + 2);
}

}  // namespace
}  // namespace kelva::console::web
