#include "data/player_record.h"

#include <gtest/gtest.h>

#include "data/checked.h"

namespace kelva {
namespace {

class RosterTest : public ::testing::Test {
 protected:
  std::unique_ptr<Roster> roster = std::make_unique<Roster>();
};

TEST_F(RosterTest, UserposIsCaseSensitiveAndLooksAtTheFirst101SlotsOnly) {
  (*roster)[0].name = "Bob";
  (*roster)[100].name = "Last";
  (*roster)[101].name = "TooFar";
  EXPECT_EQ(userpos(*roster, "Bob"), 0);
  EXPECT_EQ(userpos(*roster, "bob"), kNoPlayer);
  EXPECT_EQ(userpos(*roster, "Last"), 100);
  EXPECT_EQ(userpos(*roster, "TooFar"), kNoPlayer);
  // Unused slots have empty names and match only an empty name.
  EXPECT_EQ(userpos(*roster, ""), 1);
}

TEST_F(RosterTest, ItemcountIgnoresCase) {
  EXPECT_EQ(countInList("hppotion,HpPotion,scan", "HPPOTION"), 2);
  EXPECT_EQ(countInList("", "scan"), 0);
  EXPECT_EQ(countInList("scan", "scan"), 1);
  EXPECT_EQ(countInList(",", ""), 2);
}

TEST_F(RosterTest, AdditemAppendsTheNewestUnitLast) {
  EXPECT_EQ(listWithAdded("", "scan"), "scan");
  EXPECT_EQ(listWithAdded("hppotion", "scan"), "hppotion,scan");
}

TEST_F(RosterTest, RemoveitemTakesTheFirstExactEntryWithOneComma) {
  EXPECT_EQ(listWithRemoved("hppotion,scan", "scan"), "hppotion");
  EXPECT_EQ(listWithRemoved("scan,hppotion,scan", "scan"), "hppotion,scan");
  EXPECT_EQ(listWithRemoved("scan", "scan"), "");
  EXPECT_EQ(listWithRemoved("hppotion", "scan"), "hppotion");
  EXPECT_EQ(listWithRemoved("Scan,scan", "scan"), "Scan");  // case significant
  EXPECT_EQ(listWithRemoved("a,scan,b", "scan"), "a,b");
}

TEST_F(RosterTest, CheckskillFollowsItsThreeRules) {
  EXPECT_TRUE(listHasSkill("fire", "fire"));
  EXPECT_TRUE(listHasSkill("ice,fire", "fire"));
  EXPECT_TRUE(listHasSkill("fire,ice", "fire"));
  EXPECT_FALSE(listHasSkill("fireball", "fire"));
  EXPECT_TRUE(listHasSkill("bonfire,ice", "fire"));
  EXPECT_FALSE(listHasSkill("Fire", "fire"));
}

TEST_F(RosterTest, ListOperationsOnAMissingCharacterFailAndChangeNothing) {
  (*roster)[0].items = "scan";
  EXPECT_THROW(additem(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(removeitem(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(itemcount(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(checkskill(*roster, kNoPlayer, "steal"), GameError);
  EXPECT_EQ((*roster)[0].items, "scan");
  additem(*roster, "hppotion", 0);
  EXPECT_EQ(itemcount(*roster, "HPPOTION", 0), 1);
}

}  // namespace
}  // namespace kelva
