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

// A missing or broken file changes nothing and says nothing; a good one
// replaces the roster but keeps what the file does not hold.
TEST(Reload, ReplacesTheRosterOnlyFromAGoodFile) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Ann").withGold(5000).withPvp();
  const auto before = std::make_unique<Roster>(g.form->roster);
  g.chat("Boss", 1, "RELOAD");
  std::string& file = g.files.files[dataPath("/data", kStatsFileName)];
  file = std::string(kAnnLine) + "Bob,1,Human\r\n";
  g.chat("Boss", 1, "RELOAD");
  EXPECT_TRUE(g.takeCalls().empty());
  EXPECT_TRUE(g.form->roster == *before);
  g.givenPlayer("Bob");
  file = kAnnLine;
  g.chat("Boss", 1, "reload");
  EXPECT_EQ(g.takeCalls(), Calls{"say Stats reloaded"});
  EXPECT_EQ(g.form->playerCount, 1);
  EXPECT_EQ(g.player("Ann").gold, 77);
  EXPECT_TRUE(g.player("Ann").pvpEnabled);
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

TEST(DrinkHppotion, UsesUpTheFirstExactPotionEvenAtFullHealth) {
  GameFixture g;
  g.givenPlayer("Ann").withItems("scan,HPPOTION,hppotion").withHp(15);
  g.givenPlayer("Bob").withItems("scan").withHp(3);
  g.chat("Ann", 2, "/DRINK HPPOTION");
  EXPECT_EQ(g.player("Ann").items, "scan,HPPOTION");
  EXPECT_NE(g.statsFile().find(",scan,HPPOTION!"), std::string::npos);
  g.chat("Bob", 3, "/drink hppotion");
  g.chat("Ghost", 4, "/drink hppotion");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 2 You have been fully healed.", "whisper 3 You have no HP Potions.",
                                  "whisper 4 You do not have a charecter."}));
  EXPECT_EQ(g.player("Bob").hp, 3);
}

TEST(Run, TheAttackerCanFleeAndTheDefenderIsTold) {
  GameFixture g;
  combat::addpvp(*g.form, "Dan", "Cid", 6, 5);
  g.takeCalls();
  g.chat("Cid", 5, "/run");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 5 You ran from battle!", "whisper 6 Cid ran from the battle."}));
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

TEST(AbandonClan, RemovesTheBonusesButNotTheHitPoints) {
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
  EXPECT_EQ(p.hp, 16);
  EXPECT_NE(g.statsFile().find("Ann,1,Human,none,10,"), std::string::npos);
}

}  // namespace
}  // namespace kelva
