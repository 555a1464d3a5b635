#include "console/console_actions.h"

#include <gtest/gtest.h>

#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

using console::pressCommand1;
using console::selectCombo1;
using Lines = std::vector<std::string>;

class ConsoleActions : public ::testing::Test {
 protected:
  GameFixture g;

  // Bob is listed in the picker as the stats loader or an arrival would list him.
  PlayerRecord& givenListedBob(int32_t exp, int32_t gold) {
    PlayerRecord& bob = g.givenPlayer("Bob").withExp(exp).withGold(gold).record();
    g.form->console.addCombo1("Bob");
    g.view.lines.clear();
    return bob;
  }
};

TEST_F(ConsoleActions, ANameTheListDoesNotHoldIsStillLookedUpAsTyped) {
  givenListedBob(250, 40);
  g.givenPlayer("Ann").withExp(-7).withGold(0);
  selectCombo1(*g.form, "Bob");
  EXPECT_EQ(g.form->console.Combo1Selected, std::optional<std::size_t>(0));
  g.view.lines.clear();
  selectCombo1(*g.form, "Ann");
  EXPECT_EQ(g.view.lines, (Lines{"text2 -7", "text3 0"}));
  EXPECT_EQ(g.form->console.Combo1Text, "Ann");
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST_F(ConsoleActions, ChangeWritesBackWhatTheBoxesShowNotTheRecord) {
  PlayerRecord& bob = givenListedBob(250, 40);
  selectCombo1(*g.form, "Bob");
  bob.gold = 1000;  // e.g. a shop sale after the selection
  g.form->console.Text2 = "-2.5";
  pressCommand1(*g.form);
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of -252.5exp and -960gp was given to Bob."}));
  EXPECT_EQ(bob.exp, -2);
  EXPECT_EQ(bob.gold, 40);
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 1));

  g.form->console.Text3 = ".1";
  pressCommand1(*g.form);
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of -0.5exp and -39.9gp was given to Bob."}));
  EXPECT_EQ(bob.gold, 0);
}

}  // namespace
}  // namespace kelva::testing
