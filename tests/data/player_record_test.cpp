#include "data/player_record.h"

#include <gtest/gtest.h>

#include <memory>

#include "data/checked.h"

namespace kelva {
namespace {

TEST(Roster, UserposIsCaseSensitiveAndLooksAtTheFirst101SlotsOnly) {
  auto roster = std::make_unique<Roster>();
  (*roster)[0].name = "Bob";
  (*roster)[100].name = "Last";
  (*roster)[101].name = "TooFar";
  EXPECT_EQ(userpos(*roster, "Bob"), 0);
  EXPECT_EQ(userpos(*roster, "bob"), kNoPlayer);
  EXPECT_EQ(userpos(*roster, "Last"), 100);
  EXPECT_EQ(userpos(*roster, "TooFar"), kNoPlayer);
  // Unused slots have empty names and match only an empty name.
  EXPECT_EQ(userpos(*roster, ""), 1);
  // Lists of a missing character fail and change nothing.
  (*roster)[0].items = "scan";
  EXPECT_THROW(additem(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(removeitem(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(itemcount(*roster, "scan", kNoPlayer), GameError);
  EXPECT_THROW(checkskill(*roster, kNoPlayer, "steal"), GameError);
  EXPECT_EQ((*roster)[0].items, "scan");
}

TEST(Roster, ListsCountIgnoringCaseRemoveTheFirstExactEntryAndMatchSkillsByTheirRules) {
  EXPECT_EQ(countInList("hppotion,HpPotion,scan", "HPPOTION"), 2);
  EXPECT_EQ(countInList(",", ""), 2);
  EXPECT_EQ(listWithAdded("hppotion", "scan"), "hppotion,scan");
  EXPECT_EQ(listWithRemoved("scan,hppotion,scan", "scan"), "hppotion,scan");
  EXPECT_EQ(listWithRemoved("scan", "scan"), "");
  EXPECT_EQ(listWithRemoved("Scan,scan", "scan"), "Scan");  // case significant
  EXPECT_EQ(listWithRemoved("a,scan,b", "scan"), "a,b");
  EXPECT_TRUE(listHasSkill("ice,fire", "fire"));
  EXPECT_TRUE(listHasSkill("fire,ice", "fire"));
  EXPECT_FALSE(listHasSkill("fireball", "fire"));
  EXPECT_TRUE(listHasSkill("bonfire,ice", "fire"));
  EXPECT_FALSE(listHasSkill("Fire", "fire"));
}

}  // namespace
}  // namespace kelva
