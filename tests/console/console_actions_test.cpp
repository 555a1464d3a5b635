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

  // The operator picks Bob and types new values into the two boxes.
  void change(const std::string& text2, const std::string& text3) {
    selectCombo1(*g.form, "Bob");
    g.form->console.Text2 = text2;
    g.form->console.Text3 = text3;
    pressCommand1(*g.form);
  }
};

TEST_F(ConsoleActions, SelectingAPlayerShowsExpAndGold) {
  givenListedBob(250, 40);
  g.givenPlayer("Ann").withExp(-7).withGold(0);
  selectCombo1(*g.form, "Bob");
  EXPECT_EQ(g.view.lines, (Lines{"text2 250", "text3 40"}));
  EXPECT_EQ(g.form->console.Combo1Text, "Bob");
  EXPECT_EQ(g.form->console.Combo1Selected, std::optional<std::size_t>(0));

  // A name the list does not hold is still looked up as typed.
  g.view.lines.clear();
  selectCombo1(*g.form, "Ann");
  EXPECT_EQ(g.view.lines, (Lines{"text2 -7", "text3 0"}));
  EXPECT_EQ(g.form->console.Combo1Text, "Ann");
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST_F(ConsoleActions, SelectingANameWithoutACharacterLeavesTheBoxes) {
  givenListedBob(250, 40);
  g.form->console.Text2 = "typed";
  selectCombo1(*g.form, "bob");  // names are case-sensitive
  EXPECT_TRUE(g.view.lines.empty());
  EXPECT_EQ(g.form->console.Text2, "typed");
}

TEST_F(ConsoleActions, ChangeAnnouncesTheGiftStoresAndSaves) {
  PlayerRecord& bob = givenListedBob(250, 40);
  change("300", "40");
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of 50exp and 0gp was given to Bob."}));
  EXPECT_EQ(bob.exp, 300);
  EXPECT_EQ(bob.gold, 40);
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 1));
  EXPECT_NE(g.statsFile().find(",300,"), std::string::npos);
}

TEST_F(ConsoleActions, LowerValuesAnnounceANegativeGift) {
  PlayerRecord& bob = givenListedBob(250, 40);
  change("150", "  \t10 coins");
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of -100exp and -30gp was given to Bob."}));
  EXPECT_EQ(bob.exp, 150);
  EXPECT_EQ(bob.gold, 10);
}

TEST_F(ConsoleActions, FractionsAreAnnouncedExactlyAndStoredRoundedHalfToEven) {
  PlayerRecord& bob = givenListedBob(0, 0);
  change("12.5", "13.5");
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of 12.5exp and 13.5gp was given to Bob."}));
  EXPECT_EQ(bob.exp, 12);
  EXPECT_EQ(bob.gold, 14);

  change("-2.5", ".1");
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of -14.5exp and -13.9gp was given to Bob."}));
  EXPECT_EQ(bob.exp, -2);
  EXPECT_EQ(bob.gold, 0);
}

TEST_F(ConsoleActions, TextThatIsNotANumberCountsAsZero) {
  PlayerRecord& bob = givenListedBob(250, 40);
  change("", "lots");
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of -250exp and -40gp was given to Bob."}));
  EXPECT_EQ(bob.exp, 0);
  EXPECT_EQ(bob.gold, 0);
}

TEST_F(ConsoleActions, ChangeDoesNothingWithoutASelectedCharacter) {
  PlayerRecord& bob = givenListedBob(250, 40);
  // Nothing picked yet.
  g.form->console.Text2 = "999";
  g.form->console.Text3 = "999";
  pressCommand1(*g.form);
  // A name userpos does not find.
  selectCombo1(*g.form, "Zed");
  g.form->console.Text2 = "999";
  pressCommand1(*g.form);
  EXPECT_TRUE(g.takeCalls().empty());
  EXPECT_EQ(bob.exp, 250);
  EXPECT_EQ(bob.gold, 40);
  EXPECT_EQ(g.statsFile(), "");
}

TEST_F(ConsoleActions, ValuesBeyondALongAreRefusedBeforeTheAnnouncement) {
  PlayerRecord& bob = givenListedBob(250, 40);
  for (const auto& [exp, gold] : std::vector<std::pair<std::string, std::string>>{
           {"2147483647.5", "0"},        // rounds up past the largest long
           {"0", "-2147483649"},
           {"0", std::string(400, '9')},  // too large even for a double
       }) {
    change(exp, gold);
    EXPECT_TRUE(g.takeCalls().empty()) << exp << " " << gold;
  }
  EXPECT_EQ(bob.exp, 250);
  EXPECT_EQ(bob.gold, 40);
  EXPECT_EQ(g.statsFile(), "");

  // The extremes themselves still fit.
  change("2147483647.4", "-2147483648.5");
  EXPECT_EQ(g.takeCalls(),
            (Lines{"say A special gift of 2147483397.4exp and -2147483688.5gp was given to Bob."}));
  EXPECT_EQ(bob.exp, 2147483647);
  EXPECT_EQ(bob.gold, -2147483648);
}

TEST_F(ConsoleActions, ChangeWritesBackWhatTheBoxesShowNotTheRecord) {
  PlayerRecord& bob = givenListedBob(250, 40);
  selectCombo1(*g.form, "Bob");
  bob.gold = 1000;  // e.g. a shop sale after the selection
  pressCommand1(*g.form);
  EXPECT_EQ(g.takeCalls(), (Lines{"say A special gift of 0exp and -960gp was given to Bob."}));
  EXPECT_EQ(bob.gold, 40);
}

}  // namespace
}  // namespace kelva::testing
