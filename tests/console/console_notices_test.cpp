#include "console/console_notices.h"

#include <gtest/gtest.h>

#include "console/console_actions.h"
#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

using console::boxNotice;
using console::changeNotice;
using console::selectNotice;

TEST(ConsoleNotices, ABareGuestNameIsPointedToItsQuotedCharacter) {
  GameFixture g;
  g.givenPlayer("\"mira\"");
  g.givenPlayer("Bob");
  EXPECT_EQ(selectNotice(*g.form, "Bob"), std::nullopt);
  EXPECT_EQ(selectNotice(*g.form, "mira"),
            "no character is named mira (the guest is named \"mira\"); \"Change\" will do nothing");
  EXPECT_EQ(selectNotice(*g.form, "bob"), "no character is named bob; \"Change\" will do nothing");
}

TEST(ConsoleNotices, ABoxIsANumberOnlyWhenItStartsWithOne) {
  EXPECT_EQ(boxNotice("Text2", " 12abc"), std::nullopt);
  EXPECT_EQ(boxNotice("Text2", "-0.5"), std::nullopt);
  EXPECT_EQ(boxNotice("Text2", "abc"), "Text2 does not start with a number; \"Change\" will count it as 0");
  EXPECT_TRUE(boxNotice("Text3", "").has_value());
}

TEST(ConsoleNotices, ChangeSaysWhyItDidNothing) {
  GameFixture g;
  g.givenPlayer("Bob").withExp(250).withGold(40);
  EXPECT_EQ(changeNotice(*g.form), "no name is picked; \"Change\" did nothing");
  console::selectCombo1(*g.form, "Ann");
  EXPECT_EQ(changeNotice(*g.form), "no character is named Ann; \"Change\" did nothing");
  console::selectCombo1(*g.form, "Bob");
  EXPECT_EQ(changeNotice(*g.form), std::nullopt);
  g.form->console.Text2 = "2147483647.5";  // rounds to 2^31, one past a long
  EXPECT_EQ(changeNotice(*g.form), "Text2 or Text3 is beyond what a character can hold; \"Change\" did nothing");
  g.form->console.Text2 = "2147483647.4";
  EXPECT_EQ(changeNotice(*g.form), std::nullopt);
}

TEST(ConsoleNotices, ChangeWarnsWhenTheRecordMovedSinceItWasPicked) {
  GameFixture g;
  PlayerRecord& bob = g.givenPlayer("Bob").withExp(250).withGold(40).record();
  console::selectCombo1(*g.form, "Bob");
  bob.gold = 41;  // a fight's reward after the pick
  EXPECT_EQ(changeNotice(*g.form),
            "Bob has 250 exp and 41 gp now, not the 250 and 40 picked; \"Change\" writes back the boxes as they stand");
  console::selectCombo1(*g.form, "Bob");
  EXPECT_EQ(changeNotice(*g.form), std::nullopt);
}

}  // namespace
}  // namespace kelva::testing
