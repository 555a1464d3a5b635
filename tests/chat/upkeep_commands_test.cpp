#include "chat/upkeep_commands.h"

#include <gtest/gtest.h>

#include <memory>

#include "combat/battle_table.h"
#include "data/file_system.h"
#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

const char* const kAnnLine =
    "Ann,4,Elf,none,12,11,9,10,20,30,0,0,77,1,5,0,0,scan!!0,0,0,0,,0,0,1,10,30,0,11,12\r\n";

TEST(Reload, ReplacesTheRosterFromTheFileAndAnnouncesIt) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Ann").withGold(5000).withPvp();
  g.givenPlayer("Bob");
  g.files.files[dataPath("/data", kStatsFileName)] = kAnnLine;
  g.chat("Boss", 1, "reload");
  EXPECT_EQ(g.takeCalls(), Calls{"say Stats reloaded"});
  EXPECT_EQ(g.form->playerCount, 1);
  const PlayerRecord& ann = g.player("Ann");
  EXPECT_EQ(ann.level, 4);
  EXPECT_EQ(ann.gold, 77);
  EXPECT_EQ(ann.items, "scan");
  EXPECT_TRUE(ann.pvpEnabled);  // not in the file, so kept
}

TEST(Reload, AMissingOrBrokenFileChangesNothingAndSaysNothing) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Ann").withGold(5000);
  const auto before = std::make_unique<Roster>(g.form->roster);
  g.chat("Boss", 1, "RELOAD");
  g.files.files[dataPath("/data", kStatsFileName)] = std::string(kAnnLine) + "Bob,1,Human\r\n";
  g.chat("Boss", 1, "RELOAD");
  g.files.files[dataPath("/data", kStatsFileName)] = kAnnLine;
  g.chat("Ann", 2, "RELOAD");  // not an administrator
  EXPECT_TRUE(g.takeCalls().empty());
  EXPECT_TRUE(g.form->roster == *before);
  EXPECT_EQ(g.form->playerCount, 1);
}

TEST(Aheal, HealsAnAdministratorForFree) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Boss").withHp(0).withGold(0);
  g.chat("Boss", 1, "/aheal");
  g.chat("Boss", 1, "/aheal");
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 1 Your hp has been healed for 0gp.", "whisper 1 You already have enough hp."}));
  EXPECT_EQ(g.player("Boss").hp, 15);
  EXPECT_NE(g.statsFile(), "");
}

TEST(Aheal, NeedsACharacterAndIsForAdministratorsOnly) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Ann").withHp(1);
  g.chat("Boss", 1, "/aheal");
  g.chat("Ann", 2, "/aheal");
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 1 You do not have a charecter."});
  EXPECT_EQ(g.player("Ann").hp, 1);
}

TEST(DrinkHppotion, UsesOnePotionEvenAtFullHealth) {
  GameFixture g;
  g.givenPlayer("Ann").withItems("scan,HPPOTION,hppotion").withHp(0);
  g.chat("Ann", 2, "/drink hppotion");
  EXPECT_EQ(g.player("Ann").hp, 15);
  EXPECT_EQ(g.player("Ann").items, "scan,HPPOTION");
  g.chat("Ann", 2, "/DRINK HPPOTION");
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 2 You have been fully healed.", "whisper 2 You have been fully healed."}));
  EXPECT_NE(g.statsFile().find(",scan,HPPOTION!"), std::string::npos);
}

TEST(DrinkHppotion, RefusesWithoutAPotionOrACharacter) {
  GameFixture g;
  g.givenPlayer("Ann").withItems("scan").withHp(3);
  g.chat("Ann", 2, "/drink hppotion");
  g.chat("Ghost", 4, "/drink hppotion");
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 2 You have no HP Potions.", "whisper 4 You do not have a charecter."}));
  EXPECT_EQ(g.player("Ann").hp, 3);
  EXPECT_EQ(g.statsFile(), "");
}

TEST(Pvp, TogglesWithoutSavingAndIgnoresStrangers) {
  GameFixture g;
  g.givenPlayer("Ann");
  g.chat("Ann", 2, "/pvp");
  EXPECT_TRUE(g.player("Ann").pvpEnabled);
  g.chat("Ann", 2, "/PvP");
  EXPECT_FALSE(g.player("Ann").pvpEnabled);
  g.chat("Ghost", 4, "/pvp");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 2 PvP is enabled.", "whisper 2 PvP is disabled."}));
  EXPECT_EQ(g.statsFile(), "");
}

TEST(Home, TeleportsAnyoneToTheOrigin) {
  GameFixture g;
  g.world.TeleportWarp = true;
  g.chat("Ghost", 4, "/home");
  EXPECT_EQ(g.takeCalls(), Calls{"teleport 4 0 100 0 0"});
}

TEST(Run, FleeingAMonsterEndsItQuietly) {
  GameFixture g;
  g.givenPlayer("Ann");
  combat::addbattle(*g.form, 1, 10, "Troll", 1, 1, 1, "Ann", 0, 2);
  g.takeCalls();
  g.chat("Ann", 2, "/run");
  g.chat("Ann", 2, "/run");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 2 You ran from battle!", "whisper 2 You are not battling!"}));
  EXPECT_EQ(g.form->battles[0].name1, "");
  EXPECT_EQ(g.form->battles[0].ename, "Troll");
  EXPECT_EQ(g.statsFile(), "");
}

TEST(Run, EitherFighterCanFleeAndTheOtherIsTold) {
  GameFixture g;
  combat::addpvp(*g.form, "Def", "Att", 3, 2);
  combat::addpvp(*g.form, "Dan", "Cid", 6, 5);
  g.takeCalls();
  g.chat("Def", 3, "/run");
  g.chat("Cid", 5, "/run");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 3 You ran from battle!", "whisper 2 Def ran from the battle.",
                                  "whisper 5 You ran from battle!", "whisper 6 Cid ran from the battle."}));
  EXPECT_EQ(combat::battleing(*g.form, "Att"), -1);
  EXPECT_EQ(combat::battleing(*g.form, "Dan"), -1);
}

TEST(Reset, StartsTheCharacterAfreshButKeepsClanFieldsAndTheFight) {
  GameFixture g;
  auto ann = g.givenPlayer("Ann").withLevel(10).withGold(900).withExp(50).withAc(7).withMaxHp(80).withPvp();
  ann.withItems("scan").withSkills("steal").withClan("Elves").withShroomType("good");
  ann.record().clanSpeedBonus = 10;
  ann.record().weaponId = 3;
  ann.record().mp = 9;
  combat::addpvp(*g.form, "Bob", "Ann", 3, 2);
  g.takeCalls();
  g.chat("Ann", 2, "/reset");
  EXPECT_EQ(g.takeCalls(), (Calls{"teleport 2 0 100 0 0", "whisper 2 You have been born again!"}));
  PlayerRecord expected;
  setStartingValues(expected, "Ann");
  expected.clanSpeedBonus = 10;
  expected.shroomType = "good";
  expected.pvpEnabled = true;
  EXPECT_EQ(g.player("Ann"), expected);
  EXPECT_EQ(g.statsFile(), statsLine(expected) + "\r\n");
  EXPECT_EQ(combat::battleing(*g.form, "Ann"), 0);
}

TEST(Reset, AndAbandonClanNeedACharacter) {
  GameFixture g;
  g.chat("Ghost", 4, "/reset");
  g.chat("Ghost", 4, "/abandon clan");
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 4 You do not have a charecter.", "whisper 4 You do not have a charecter."}));
  EXPECT_EQ(g.form->playerCount, 0);
  EXPECT_EQ(g.statsFile(), "");
}

TEST(AbandonClan, RemovesTheBonusesAndTheShroomType) {
  GameFixture g;
  auto ann = g.givenPlayer("Ann").withClan("Elves").withShroomType("evil").withHp(16);
  ann.record().maxHp = 17;  // base 15 with a bonus
  ann.record().strength = 12;
  ann.record().ac = 3;
  g.chat("Ann", 2, "/abandon clan");
  const PlayerRecord& p = g.player("Ann");
  EXPECT_EQ(p.clan, "none");
  EXPECT_EQ(p.shroomType, "");
  EXPECT_EQ(p.maxHp, 15);
  EXPECT_EQ(p.strength, 10);
  EXPECT_EQ(p.ac, 0);
  EXPECT_EQ(p.hp, 16);  // hit points are not touched
  g.chat("Ann", 2, "/abandon clan");
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 2 You abandoned your clan.", "whisper 2 You are not part of any clan."}));
  EXPECT_NE(g.statsFile().find("Ann,1,Human,none,10,"), std::string::npos);
}

}  // namespace
}  // namespace kelva
