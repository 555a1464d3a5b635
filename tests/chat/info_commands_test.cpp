#include "chat/info_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

TEST(StatsCommand, ShowsTheTwoLinesWithTheExperienceForTheNextLevel) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(7).withExp(650).withGold(-3).withAc(2).withMp(1).withMaxMp(4);
  g.player("Ann").clan = "Red Hand";
  g.chat("Ann", 7, "/stats");
  EXPECT_EQ(g.takeCalls(),
            (Lines{"whisper 7 stats: Ann     Level: 7 Gold: -3 HP: 15/15 Clan: Red Hand",
                   "whisper 7 Race: Human AC:2 Speed:10 Strength:10 Charisma:10/10 Exp: 650/700 MP: 1/4"}));

  g.chat("Nobody", 8, "/stats");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 8 You do not have a character."});
}

TEST(StatsCommand, ANextLevelBeyondALongStopsAfterTheFirstLine) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(21474837);
  g.chat("Ann", 7, "/stats");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 7 stats: Ann     Level: 21474837 Gold: 5 HP: 15/15 Clan: none"});
}

TEST(EquipmentCommand, NamesTheEquippedEntriesByIdAndKind) {
  GameFixture g;
  g.givenPlayer("Bob");
  g.chat("Bob", 7, "/equipment");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have...", "whisper 7 no weapon and", "whisper 7 no armor."}));

  g.givenCatalogEntry({"Old Sword", 0, 1, 10, 0, 3, 2});
  g.givenCatalogEntry({"Plate", 9, -1, 10, 1, 3, 0});  // an armour with the weapon's id
  g.givenCatalogEntry({"New Sword", 0, 2, 10, 0, 3, 7});
  g.player("Bob").weaponId = 3;
  g.player("Bob").armorId = 3;
  g.chat("Bob", 7, "/equipment");
  // The last matching entry of each kind counts.
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have...", "whisper 7 New Sword: Str:7 Speed:2  as your weapon and",
                                  "whisper 7 Plate: Ac:9 Speed:-1  as your armor."}));

  // An id that no entry of its kind has shows entry 0.
  g.player("Bob").weaponId = 5;
  g.player("Bob").armorId = 0;
  g.chat("Bob", 7, "/equipment");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have...", "whisper 7 Old Sword: Str:2 Speed:1  as your weapon and",
                                  "whisper 7 no armor."}));

  g.chat("Nobody", 8, "/equipment");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 8 You do not have a character."});
}

TEST(EquipmentCommand, AnUnknownArmorInAnEmptyCatalogueShowsAnEmptyEntry) {
  GameFixture g;
  g.givenPlayer("Bob").record().armorId = 4;
  g.chat("Bob", 7, "/equipment");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have...", "whisper 7 no weapon and",
                                  "whisper 7 : Ac:0 Speed:0  as your armor."}));
}

TEST(SkillsAndAmount, ListTheStoredTextsAndTheItemAsTyped) {
  GameFixture g;
  g.givenPlayer("Bob").withItems("hppotion,scan,HpPotion");
  g.givenPlayer("Ann").withSkills("steal,behead");
  g.chat("Bob", 7, "/skills");
  g.chat("Ann", 8, "/skills");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have no skills.", "whisper 8 You know the following skills...",
                                  "whisper 8 steal,behead"}));

  g.chat("Bob", 7, "/amount HPPOTION");
  g.chat("Bob", 7, "/amount scan");
  g.chat("Bob", 7, "/amount ");
  g.chat("Bob", 7, "/amount  scan");  // the blank belongs to the item
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You have 2 HPPOTIONs.", "whisper 7 You have 1 scans.",
                                  "whisper 7 You have no .", "whisper 7 You have no  scan."}));

  g.chat("Nobody", 9, "/skills");
  g.chat("Nobody", 9, "/amount scan");
  EXPECT_EQ(g.takeCalls(),
            (Lines{"whisper 9 You do not have a charecter.", "whisper 9 You do not have a charecter."}));
}

TEST(UseScan, ChecksNameThenCharacterThenScanThenTarget) {
  GameFixture g;
  g.givenPlayer("Bob");
  g.givenPlayer("Ann");
  g.chat("Nobody", 9, "/use scan ");
  g.chat("Nobody", 9, "/use scan Ann");
  g.chat("Bob", 7, "/use scan Ann");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 9 You must say a name.", "whisper 9 You do not have a charecter.",
                                  "whisper 7 You have no scans."}));

  g.player("Bob").items = "scan";
  g.chat("Bob", 7, "/use scan ");
  g.chat("Bob", 7, "/use scan  ");
  g.chat("Bob", 7, "/use scan ann");
  EXPECT_EQ(g.takeCalls(), (Lines{"whisper 7 You must say a name.", "whisper 7 There is no one by that name.",
                                  "whisper 7 There is no one by that name."}));
  EXPECT_EQ(g.player("Bob").items, "scan");
  EXPECT_EQ(g.statsFile(), "");
}

TEST(UseScan, ShowsTheTargetUsesUpOneScanAndSaves) {
  GameFixture g;
  g.givenPlayer("Bob").withItems("SCAN,hppotion,scan,scan");
  g.givenPlayer("Ann").withGold(40);
  g.chat("Bob", 7, "/use scan Ann");
  EXPECT_EQ(g.takeCalls(),
            (Lines{"whisper 7 stats: Ann     Level: 1 Gold: 40 HP: 15/15 Clan: none",
                   "whisper 7 Race: Human AC:0 Speed:10 Strength:10 Charisma:10/10 Exp: 0/100 MP: 0/0"}));
  // The first "scan" written exactly so goes; counting ignored the case.
  EXPECT_EQ(g.player("Bob").items, "SCAN,hppotion,scan");
  EXPECT_NE(g.statsFile().find("SCAN,hppotion,scan"), std::string::npos);

  g.chat("Bob", 7, "/use scan Bob");
  EXPECT_EQ(g.takeCalls().size(), 2u);
  EXPECT_EQ(g.player("Bob").items, "SCAN,hppotion");
}

TEST(HelpTexts, LineUpTheirDescriptions) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.chat("Bob", 7, "/commands");
  const Lines players = g.takeCalls();
  ASSERT_EQ(players.size(), 13u);
  EXPECT_EQ(players[0], "whisper 7 The following are commands used in this game...");
  EXPECT_EQ(players[2], "whisper 7 /stats            Shows are current stats.");
  EXPECT_EQ(players[12],
            "whisper 7 /SKILL            Uses a skill. Replace SKILL with skill's name.(Not all skills work yet.)");
  const std::string prefix = "whisper 7 ";
  // Every command is padded to 18 characters, so the descriptions line up.
  for (std::size_t i = 1; i < players.size(); ++i) {
    const std::string text = players[i].substr(std::string("whisper 7 ").size());
    ASSERT_GT(text.size(), 18u) << text;
    EXPECT_EQ(text[0], '/') << text;
    EXPECT_EQ(text[17], ' ') << text;
    EXPECT_NE(text[18], ' ') << text;
  }

  g.chat("Boss", 3, "/admin commands");
  const Lines admins = g.takeCalls();
  ASSERT_EQ(admins.size(), 19u);
  EXPECT_EQ(admins[0], "whisper 3 armorid ID   Checks armor's id");
  EXPECT_EQ(admins[12],
            "whisper 3 objadd clan,name,min. level,ac,cha%,hpfull%,mpfull%,shroomtype,speed%,str%,Object Number");
  EXPECT_EQ(admins[17],
            "whisper 3 WARNING!!! These commands do not have safety checks. So one error could cuase the bot to "
            "crash.");
  EXPECT_EQ(admins[18], "whisper 3 Note: IDs cannot be zero.");
}

TEST(ObjectNumberMode, TogglesTheSpeakerSilently) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenAdmin("Kim");
  auto& watchers = g.form->objectNumberWatchers;
  g.chat("Boss", 3, "/object number");
  g.chat("Kim", 4, "/OBJECT NUMBER");
  EXPECT_EQ(watchers[0], "Boss");
  EXPECT_EQ(watchers[1], "Kim");
  g.chat("Boss", 3, "/object number");
  EXPECT_EQ(watchers[0], "");
  // Boss comes back into the first free slot.
  g.chat("Boss", 3, "/object number");
  EXPECT_EQ(watchers[0], "Boss");
  EXPECT_EQ(g.takeCalls(), Lines{});
}

TEST(ObjectNumberMode, AFullWatcherListIsLeftAlone) {
  GameFixture g;
  g.givenAdmin("Boss");
  auto& watchers = g.form->objectNumberWatchers;
  for (std::size_t j = 0; j < watchers.size(); ++j) watchers[j] = "admin" + std::to_string(j);
  const auto before = watchers;
  g.chat("Boss", 3, "/object number");
  EXPECT_EQ(watchers, before);
  EXPECT_EQ(g.takeCalls(), Lines{});
}

}  // namespace
}  // namespace kelva::chat
