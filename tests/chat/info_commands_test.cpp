#include "chat/info_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

// The lines themselves are played by the world scripts; here the last level
// whose experience goal fits a long, and the first that does not.
TEST(StatsCommand, StopsAfterTheFirstLineWhenTheNextLevelsExperiencePassesALong) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(21474836).withGold(-3);
  g.chat("Ann", 7, "/stats");
  EXPECT_EQ(g.takeCalls(),
            (Lines{"whisper 7 stats: Ann     Level: 21474836 Gold: -3 HP: 15/15 Clan: none",
                   "whisper 7 Race: Human AC:0 Speed:10 Strength:10 Charisma:10/10 Exp: 0/2147483600 MP: 0/0"}));
  g.player("Ann").level = 21474837;
  g.chat("Ann", 7, "/stats");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 7 stats: Ann     Level: 21474837 Gold: -3 HP: 15/15 Clan: none"});
}

TEST(EquipmentCommand, AnUnknownArmorInAnEmptyCatalogueShowsAnEmptyEntry) {
  GameFixture g;
  g.givenPlayer("Bob").record().armorId = 4;
  g.chat("Bob", 7, "/equipment");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have...", "whisper 7 no weapon and",
                                  "whisper 7 : Ac:0 Speed:0  as your armor."}));
}

TEST(AmountCommand, CountsTheItemAsTypedBlanksIncluded) {
  GameFixture g;
  g.givenPlayer("Bob").withItems("hppotion,scan,HpPotion");
  g.chat("Bob", 7, "/amount ");
  g.chat("Bob", 7, "/amount  scan");  // the blank belongs to the item
  g.chat("Nobody", 9, "/skills");
  g.chat("Nobody", 9, "/amount scan");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have no .", "whisper 7 You have no  scan.",
                                  "whisper 9 You do not have a charecter.", "whisper 9 You do not have a charecter."}));
}

TEST(UseScan, TheNameIsAskedForBeforeTheCharacter) {
  GameFixture g;
  g.chat("Nobody", 9, "/use scan ");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 9 You must say a name."});
}

TEST(ObjectNumberMode, TakesTheFirstFreeSlotAndLeavesAFullListAlone) {
  GameFixture g;
  g.givenAdmin("Boss");
  auto& watchers = g.form->objectNumberWatchers;
  watchers[1] = "Kim";
  g.chat("Boss", 3, "/object number");
  EXPECT_EQ(watchers[0], "Boss");
  for (std::size_t j = 0; j < watchers.size(); ++j) watchers[j] = "admin" + std::to_string(j);
  const auto before = watchers;
  g.chat("Boss", 3, "/object number");
  EXPECT_EQ(watchers, before);
  EXPECT_EQ(g.takeCalls(), Lines{});
}

}  // namespace
}  // namespace kelva::chat
