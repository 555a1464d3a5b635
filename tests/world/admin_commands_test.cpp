// The world's administrators through the player port: .kick, .ban (with and
// without minutes, and across a restart of the world on the same data
// folder), .announce, and the refusal to everyone else.
#include <gtest/gtest.h>

#include <ctime>

#include "support/temp_folder.h"
#include "world/core/world_accounts.h"
#include "world/log_in_answer.h"
#include "world/server_fixture.h"
#include "world/web_client.h"

namespace kelva::world {
namespace {

using kelva::testing::enter;
using kelva::testing::LineClient;
using kelva::testing::logInAnswer;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;

WorldDefinition staffedWorld() {
  WorldDefinition def = kelva::testing::demoDefinition();
  def.players = {{"Boss", "bosspw", "", true}, {"Ann", "annpw", ""}, {"Old Tom", "tompw", ""}};
  return def;
}

TEST(AdminCommands, OnlyAnAdministratorKicksAndAnnouncesAndEveryoneHearsTheAnnouncement) {
  ServerRunner runner(staffedWorld());
  ASSERT_TRUE(runner.started()) << runner.log();
  LineClient boss(runner.playerPort()), ann(runner.playerPort()), guest(runner.playerPort());
  enter(boss, "Boss", "bosspw");
  enter(ann, "Ann", "annpw");
  enter(guest, "mira");

  // A registered player and a guest are refused every command.
  for (LineClient* who : {&ann, &guest}) {
    for (const char* line : {".kick Boss", ".ban Boss", ".announce hello"}) {
      who->send(line);
      EXPECT_TRUE(who->waitForContaining("* Only an administrator of the world may use ")) << line;
    }
  }
  EXPECT_EQ(runner.log().find("kicked"), std::string::npos);

  boss.send(".announce The world closes at ten.");
  for (LineClient* who : {&ann, &guest, &boss})
    EXPECT_TRUE(who->waitForLine("* Announcement from Boss: The world closes at ten."));
  boss.send(".announce");
  EXPECT_TRUE(boss.waitForLine("* Type .announce TEXT."));

  boss.send(".kick Boss");
  EXPECT_TRUE(boss.waitForContaining("You cannot kick yourself"));
  boss.send(".kick Nobody");
  EXPECT_TRUE(boss.waitForContaining("There is no player called Nobody"));
  // A guest may be named as typed or as shown.
  boss.send(".kick mira");
  EXPECT_TRUE(guest.waitForLine("* Boss sent you out of the world. Goodbye."));
  EXPECT_TRUE(guest.closedByServer());
  EXPECT_TRUE(boss.waitForLine("* \"mira\" was sent out of the world."));
  ann.send(".who");
  std::optional<std::string> who = ann.waitForContaining("In the world:");
  ASSERT_TRUE(who);
  EXPECT_EQ(who->find("mira"), std::string::npos) << *who;
  EXPECT_NE(runner.log().find("Boss kicked \"mira\""), std::string::npos) << runner.log();
  EXPECT_NE(runner.log().find("Boss announced: The world closes at ten."), std::string::npos);
}

// The page's chat carries the same commands as the player port.
TEST(AdminCommands, AnAdministratorOnThePageKicksAndAGuestThereIsRefused) {
  ServerRunner runner(staffedWorld());
  ASSERT_TRUE(runner.started()) << runner.log();
  LineClient ann(runner.playerPort());
  enter(ann, "Ann", "annpw");
  kelva::testing::WebClient guest(runner.webPort());
  guest.send(R"({"type":"login","name":"mira"})");
  ASSERT_FALSE(guest.next("entered").is_null());
  guest.send(R"({"type":"chat","text":".kick Ann"})");
  EXPECT_EQ(guest.next("world")["text"], "Only an administrator of the world may use .kick.");

  kelva::testing::WebClient boss(runner.webPort());
  boss.send(R"({"type":"login","name":"Boss","password":"bosspw"})");
  ASSERT_FALSE(boss.next("entered").is_null());
  boss.send(R"({"type":"chat","text":".kick Ann"})");
  EXPECT_TRUE(ann.waitForLine("* Boss sent you out of the world. Goodbye."));
  EXPECT_TRUE(ann.closedByServer());
  for (;;) {
    nlohmann::json told = boss.next("world");
    ASSERT_FALSE(told.is_null());
    if (told["text"] == "Ann was sent out of the world.") break;
  }
}

TEST(AdminCommands, ABanLetsThePlayerGoAndHoldsAcrossARestart) {
  TempFolder dir("admin_ban_restart");
  {
    ServerRunner first(staffedWorld(), ServerRunner::freePortsIn(dir.path));
    ASSERT_TRUE(first.started()) << first.log();
    LineClient boss(first.playerPort()), ann(first.playerPort());
    enter(boss, "Boss", "bosspw");
    enter(ann, "Ann", "annpw");

    // Wrong minutes and names that are no account ban nobody.
    for (const char* line : {".ban Ann 0", ".ban Ann -5", ".ban Ann 5256001", ".ban Ann 99999999999999999999"}) {
      boss.send(line);
      EXPECT_TRUE(boss.waitForContaining("* Nobody was banned: the minutes must be a whole number from 1 to 5256000"))
          << line;
    }
    boss.send(".ban mira");
    EXPECT_TRUE(boss.waitForContaining("* There is no account mira"));
    boss.send(".ban Boss");
    EXPECT_TRUE(boss.waitForLine("* You cannot ban yourself."));
    ann.send("still here");
    EXPECT_TRUE(boss.waitForLine("Ann: still here"));

    boss.send(".ban Ann");
    EXPECT_TRUE(ann.waitForLine("* You are banned from this world until an administrator lifts the ban. Goodbye."));
    EXPECT_TRUE(ann.closedByServer());
    EXPECT_TRUE(boss.waitForLine("* Ann is banned until an administrator lifts the ban."));
    EXPECT_NE(first.log().find("Boss banned Ann until an administrator lifts the ban"), std::string::npos);
    // A name with a blank, with minutes after it.
    boss.send(".ban Old Tom 90");
    EXPECT_TRUE(boss.waitForContaining("* Old Tom is banned until "));
  }

  ServerRunner second(staffedWorld(), ServerRunner::freePortsIn(dir.path));
  ASSERT_TRUE(second.started()) << second.log();
  EXPECT_EQ(logInAnswer(second.playerPort(), "Ann", "annpw"),
            "* Ann is banned from this world until an administrator lifts the ban. What is your name?");
  // Only the right password learns of the ban.
  EXPECT_EQ(logInAnswer(second.playerPort(), "Ann", "wrong"), "* Wrong password. What is your name?");

  // Ninety minutes from the ban, to the minute the player is told.
  const std::string tom = logInAnswer(second.playerPort(), "Old Tom", "tompw");
  const std::string expected =
      "* Old Tom is banned from this world " + banEndText(std::time(nullptr) + 90 * 60) + ". What is your name?";
  const std::string aMinuteEarlier =
      "* Old Tom is banned from this world " + banEndText(std::time(nullptr) + 89 * 60) + ". What is your name?";
  EXPECT_TRUE(tom == expected || tom == aMinuteEarlier) << tom;
}

TEST(AdminCommands, BanMinutesAreCheckedAtTheirLimitsAndABanEndsOnTime) {
  const int64_t now = 1'800'000'000;
  EXPECT_EQ(banEndFrom("1", now).value(), now + 60);
  EXPECT_EQ(banEndFrom("5256000", now).value(), now + kMostBanMinutes * 60);
  for (const char* bad : {"0", "-1", "5256001", "", "1x", " 1", "+1", "1.5", "99999999999999999999"})
    EXPECT_FALSE(banEndFrom(bad, now).isOk()) << bad;

  AccountRecord banned{"Ann", "", false, now + 60};
  EXPECT_TRUE(banned.bannedAt(now + 59));
  EXPECT_FALSE(banned.bannedAt(now + 60));
  EXPECT_FALSE(AccountRecord{}.bannedAt(now));
  EXPECT_EQ(banEndText(kBannedForever), "until an administrator lifts the ban");
  EXPECT_EQ(banEndText(1'800'000'000), "until 2027-01-15 08:00 UTC");
}

}  // namespace
}  // namespace kelva::world
