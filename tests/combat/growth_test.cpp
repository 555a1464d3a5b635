#include "combat/growth.h"

#include <gtest/gtest.h>

#include <climits>

#include "data/checked.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using combat::clanastats;
using combat::clandstats;
using combat::heal;
using combat::levelup;
using testing::GameFixture;
using Calls = std::vector<std::string>;

TEST(Levelup, FirstLevelRaisesTheStatisticsAndGivesAMagicPool) {
  GameFixture g;
  g.givenPlayer("Ann").withExp(130).withHp(3);
  EXPECT_TRUE(levelup(*g.form, 7, "Ann"));
  const PlayerRecord& p = g.player("Ann");
  EXPECT_EQ(p.level, 2);
  EXPECT_EQ(p.exp, 30);
  EXPECT_EQ(p.maxHp, 20);
  EXPECT_EQ(p.hp, 20);
  EXPECT_EQ(p.strength, 11);
  EXPECT_EQ(p.speed, 11);
  EXPECT_EQ(p.maxCharisma, 10);
  // No clan: the pool of 5 comes from the bonus step, the base keeps 0.
  EXPECT_EQ(p.maxMp, 5);
  EXPECT_EQ(p.baseMaxMp, 0);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 You are now level 2."});
  EXPECT_NE(g.statsFile().find("Ann,2,Human,none,11,11,10,10,20,20,0,5,5,0,30,"), std::string::npos);
}

TEST(Levelup, AMagicPoolWithABaseGrowsByFive) {
  GameFixture g;
  auto ann = g.givenPlayer("Ann").withExp(100);
  ann.record().maxMp = 10;
  ann.record().baseMaxMp = 10;
  ASSERT_TRUE(levelup(*g.form, 7, "Ann"));
  EXPECT_EQ(g.player("Ann").maxMp, 15);
  EXPECT_EQ(g.player("Ann").baseMaxMp, 15);
}

TEST(Levelup, CharismaGrowsOnlyOnReachingAMultipleOfFifty) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(49).withExp(4900 + 5000);
  ASSERT_TRUE(levelup(*g.form, 7, "Ann"));
  EXPECT_EQ(g.player("Ann").level, 50);
  EXPECT_EQ(g.player("Ann").maxCharisma, 15);
  ASSERT_TRUE(levelup(*g.form, 7, "Ann"));
  EXPECT_EQ(g.player("Ann").level, 51);
  EXPECT_EQ(g.player("Ann").maxCharisma, 15);
}

TEST(Levelup, ClanBonusesAreAppliedAgainButHpStopsAtTheBaseMaximum) {
  GameFixture g;
  auto ann = g.givenPlayer("Ann").withExp(100);
  ann.record().clanMaxHpBonus = 10;
  ann.record().clanStrengthBonus = 50;
  ann.record().clanAcBonus = 2;
  clanastats(*g.form, 0);  // as on joining: maxHp 15 -> 16.5 -> 16, strength 15, ac 2
  ASSERT_EQ(g.player("Ann").maxHp, 16);
  ASSERT_TRUE(levelup(*g.form, 7, "Ann"));
  const PlayerRecord& p = g.player("Ann");
  EXPECT_EQ(p.baseMaxHp, 20);
  EXPECT_EQ(p.maxHp, 22);
  EXPECT_EQ(p.hp, 20);
  EXPECT_EQ(p.baseStrength, 11);
  EXPECT_EQ(p.strength, 16);  // 16.5 to even
  EXPECT_EQ(p.baseAc, 0);
  EXPECT_EQ(p.ac, 2);
}

TEST(Levelup, TooLittleExperienceChangesNothing) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(3).withExp(250);
  const PlayerRecord before = g.player("Ann");
  EXPECT_FALSE(levelup(*g.form, 7, "Ann"));
  EXPECT_EQ(g.player("Ann"), before);
  EXPECT_EQ(
      g.takeCalls(),
      Calls{"whisper 7 You do not have enough exp to gain a level. You need 50 more exp to gain a level."});
  EXPECT_EQ(g.statsFile(), "");
}

TEST(Levelup, UnknownNameIsIgnored) {
  GameFixture g;
  g.givenPlayer("Ann").withExp(1000);
  EXPECT_FALSE(levelup(*g.form, 7, "ann"));
  EXPECT_EQ(g.player("Ann").level, 1);
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST(Levelup, AnOverflowLeavesTheCharacterWhole) {
  GameFixture g;
  g.givenPlayer("Ann").withExp(100).withMaxHp(INT32_MAX - 2);
  const PlayerRecord before = g.player("Ann");
  EXPECT_THROW(levelup(*g.form, 7, "Ann"), GameError);
  EXPECT_EQ(g.player("Ann"), before);
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST(ClanStats, PercentagesRoundHalvesToEven) {
  GameFixture g;
  auto a = g.givenPlayer("A").withMaxHp(25);
  a.record().clanMaxHpBonus = 10;
  auto b = g.givenPlayer("B").withMaxHp(15);
  b.record().clanMaxHpBonus = 10;
  clanastats(*g.form, 0);
  clanastats(*g.form, 1);
  EXPECT_EQ(g.player("A").maxHp, 28);
  EXPECT_EQ(g.player("A").baseMaxHp, 25);
  EXPECT_EQ(g.player("B").maxHp, 16);
}

TEST(ClanStats, EveryBonusAppliesToItsOwnValue) {
  GameFixture g;
  auto a = g.givenPlayer("A").withStrength(20).withSpeed(30).withAc(4);
  PlayerRecord& r = a.record();
  r.maxCharisma = 40;
  r.clanStrengthBonus = -25;  // 20 -> 15
  r.clanSpeedBonus = 200;     // 30 -> 90
  r.clanCharismaBonus = 5;    // 40 -> 42
  r.clanMaxMpBonus = 100;     // 0 becomes 5, then 10
  r.clanAcBonus = -6;         // flat: 4 -> -2
  clanastats(*g.form, 0);
  EXPECT_EQ(r.strength, 15);
  EXPECT_EQ(r.speed, 90);
  EXPECT_EQ(r.maxCharisma, 42);
  EXPECT_EQ(r.maxMp, 10);
  EXPECT_EQ(r.baseMaxMp, 0);
  EXPECT_EQ(r.ac, -2);
  EXPECT_EQ(r.baseAc, 4);
  clandstats(*g.form, 0);
  EXPECT_EQ(r.strength, 20);
  EXPECT_EQ(r.speed, 30);
  EXPECT_EQ(r.maxCharisma, 40);
  EXPECT_EQ(r.maxMp, 0);
  EXPECT_EQ(r.ac, 4);
}

TEST(ClanStats, AnOverflowChangesNothingAndTheMissingPlayerIsIgnored) {
  GameFixture g;
  auto a = g.givenPlayer("A").withStrength(INT32_MAX / 2);
  a.record().clanStrengthBonus = 150;
  const PlayerRecord before = g.player("A");
  EXPECT_THROW(clanastats(*g.form, 0), GameError);
  EXPECT_EQ(g.player("A"), before);
  EXPECT_NO_THROW(clanastats(*g.form, kNoPlayer));
  EXPECT_NO_THROW(clandstats(*g.form, kNoPlayer));
}

TEST(Heal, SellsHitPointsUpToTheMaximum) {
  GameFixture g;
  g.givenPlayer("Ann").withHp(0).withGold(12);
  heal(*g.form, 7, "Ann", 12, 15);
  EXPECT_EQ(g.player("Ann").hp, 15);
  EXPECT_EQ(g.player("Ann").gold, 0);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 Your hp has been healed for 12gp."});
  EXPECT_NE(g.statsFile().find("Ann,1,Human,none,10,10,10,10,15,15,0,0,0,"), std::string::npos);
}

TEST(Heal, RefusalsComeInOrderAndChangeNothing) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(4);
  heal(*g.form, 7, "Ann", 5, 15);  // full hp, but the gold is tested first
  heal(*g.form, 7, "Ann", 4, 15);
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 7 You do not have enough gp.", "whisper 7 You already have enough hp."}));
  EXPECT_EQ(g.player("Ann").gold, 4);
  EXPECT_EQ(g.statsFile(), "");
}

TEST(Heal, OnlyExactlyFullHpCountsAsHealthy) {
  GameFixture g;
  g.givenPlayer("Ann").withHp(30).withGold(10);  // above the maximum of 15
  heal(*g.form, 7, "Ann", 3, 15);
  EXPECT_EQ(g.player("Ann").hp, 15);
  EXPECT_EQ(g.player("Ann").gold, 7);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 Your hp has been healed for 3gp."});
}

}  // namespace
}  // namespace kelva
