// The game names every event the operator cares about to its activity log,
// once, with who did it; and a game without a log behaves the same.
#include <gtest/gtest.h>

#include <algorithm>

#include "console/console_actions.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;

class RecordingLog : public ActivityLog {
 public:
  void record(std::string_view event) noexcept override { lines.emplace_back(event); }
  std::vector<std::string> lines;
};

class ActivityLogged : public ::testing::Test {
 protected:
  ActivityLogged() { g.form->activityLog = &log; }
  // The events logged since the last call.
  std::vector<std::string> take() { return std::exchange(log.lines, {}); }
  void arrive(const std::string& name) {
    g.world.AvatarName = name;
    g.router->onAvatarAdd();
  }
  // A registered object: its role, number and main value, and the fields some roles use.
  ObjectDefinition& object(const std::string& role, int32_t number, int32_t param, const std::string& name = "",
                           const std::string& tag = "", int32_t stat4 = 0) {
    ObjectDefinition d;
    d.role = role;
    d.objectNumber = number;
    d.param = param;
    d.name = name;
    d.tag = tag;
    d.stat4 = stat4;
    return g.givenObject(d);
  }
  // A monster that pays 2gp and 100exp.
  void monster(const std::string& name, int32_t number, int32_t hp, int32_t speed, int32_t strength) {
    ObjectDefinition& d = object("battle", number, 0, name, "", 2);
    d.stat1 = hp;
    d.stat2 = speed;
    d.stat3 = strength;
    d.stat5 = 100;
  }
  GameFixture g;
  RecordingLog log;
};

using Lines = std::vector<std::string>;

TEST_F(ActivityLogged, ArrivalsBattlesDeathsAndLevelUps) {
  arrive("Ann");
  arrive("Ann");
  EXPECT_EQ(take(), (Lines{"Ann arrived and got a new character", "Ann arrived"}));

  monster("Rat", 10, 1, 0, 1);
  g.clickObject("Ann", 7, 10);
  g.router->timer1Tick();
  EXPECT_EQ(take(),
            (Lines{"Ann started a battle with the Rat", "Ann reached level 2", "Ann beat the Rat: 2gp, 100exp"}));

  monster("Ogre", 11, 1000, 100, 1000);
  g.clickObject("Ann", 7, 11);
  g.router->timer1Tick();
  g.router->timer1Tick();
  EXPECT_EQ(take(), (Lines{"Ann started a battle with the Ogre", "Ann was killed by the Ogre"}));
}

TEST_F(ActivityLogged, PurchasesClanJoinsAndSkills) {
  g.givenPlayer("Ann").withGold(100).withLevel(5);
  object("hppotion", 20, 8);
  object("clan", 21, 1, "Owls", "good");
  object("skill", 22, 1, "steal", "Owls", 30);
  object("heal", 23, 3);
  g.clickObject("Ann", 7, 20);
  g.clickObject("Ann", 7, 21);
  g.clickObject("Ann", 7, 22);
  g.clickObject("Ann", 7, 22);  // refused: already known, so not logged
  g.player("Ann").hp = 0;
  g.clickObject("Ann", 7, 23);
  EXPECT_EQ(take(), (Lines{"Ann bought hppotion for 8gp", "Ann joined the clan Owls", "Ann learned steal for 30gp",
                           "Ann was healed for 3gp"}));
}

TEST_F(ActivityLogged, AdministratorCommandsGiftsOwnerMessagesAndTheirSpeakers) {
  g.givenPlayer("Bob");
  g.givenAdmin("Kaya");
  g.chat("Bob", 3, "/object number");  // not an administrator: no command, nothing logged
  g.chat("Kaya", 4, "/object number");
  g.chat("Kaya", 4, "bmessage: the troll is too strong");
  console::selectCombo1(*g.form, "Bob");
  g.form->console.Text2 = "50";
  console::pressCommand1(*g.form);
  EXPECT_EQ(take(), (Lines{"administrator Kaya: /object number",
                           "administrator Kaya: bmessage: the troll is too strong",
                           "owner message from Kaya: the troll is too strong",
                           "console: A special gift of 50exp and 0gp was given to Bob."}));
}

// Failed saves and their end are logged once each (FailedSaveTest).
TEST_F(ActivityLogged, ARefusedReloadIsLoggedWithItsFile) {
  g.givenPlayer("Ann");
  g.givenAdmin("Kaya");
  g.files.files["/data/stats.txt"] = "Broken,1\r\n";
  g.chat("Kaya", 4, "RELOAD");
  const Lines reload = take();
  ASSERT_EQ(reload.size(), 2u);
  EXPECT_EQ(reload[0], "administrator Kaya: RELOAD");
  EXPECT_EQ(reload[1].rfind("RELOAD refused, roster unchanged: /data/stats.txt", 0), 0u) << reload[1];
}

}  // namespace
}  // namespace kelva
