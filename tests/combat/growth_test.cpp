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

TEST(Levelup, AMagicPoolWithABaseGrowsByFiveAndCharismaOnlyOnReachingAMultipleOfFifty) {
  GameFixture g;
  auto ann = g.givenPlayer("Ann").withLevel(49).withExp(4900 + 5000).withMaxMp(10);
  ann.record().baseMaxMp = 10;
  ASSERT_TRUE(levelup(*g.form, 7, "Ann"));
  EXPECT_EQ(g.player("Ann").maxCharisma, 15);
  EXPECT_EQ(g.player("Ann").maxMp, 15);
  EXPECT_EQ(g.player("Ann").baseMaxMp, 15);
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

TEST(Levelup, TooLittleExperienceChangesNothingAndAnOverflowKeepsWhatCameBefore) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(3).withExp(250);
  auto bob = g.givenPlayer("Bob").withExp(130).withMaxHp(INT32_MAX - 2).withStrength(20);
  bob.record().clanStrengthBonus = 50;
  bob.record().strength = 30;  // 20 with the clan's 50 per cent on top
  const PlayerRecord ann = g.player("Ann");
  EXPECT_FALSE(levelup(*g.form, 7, "Ann"));
  // The bonuses come off and the experience is spent before the maximum hit
  // points overflow; none of that is undone, and nothing is said or saved.
  EXPECT_THROW(levelup(*g.form, 8, "Bob"), GameError);
  EXPECT_EQ(g.player("Ann"), ann);
  EXPECT_EQ(g.player("Bob").strength, 20);
  EXPECT_EQ(g.player("Bob").exp, 30);
  EXPECT_EQ(g.player("Bob").maxHp, INT32_MAX - 2);
  EXPECT_EQ(g.player("Bob").level, 1);
  EXPECT_EQ(
      g.takeCalls(),
      Calls{"whisper 7 You do not have enough exp to gain a level. You need 50 more exp to gain a level."});
  EXPECT_EQ(g.statsFile(), "");
}

TEST(ClanStats, EveryBonusAppliesToItsOwnValueRoundingHalvesToEven) {
  GameFixture g;
  auto a = g.givenPlayer("A").withStrength(20).withSpeed(30).withAc(4).withMaxHp(25);
  auto b = g.givenPlayer("B").withMaxHp(15);
  b.record().clanMaxHpBonus = 10;
  PlayerRecord& r = a.record();
  r.maxCharisma = 40;
  r.clanMaxHpBonus = 10;      // 25 -> 27.5 -> 28
  r.clanStrengthBonus = -25;  // 20 -> 15
  r.clanSpeedBonus = 200;     // 30 -> 90
  r.clanCharismaBonus = 5;    // 40 -> 42
  r.clanMaxMpBonus = 100;     // 0 becomes 5, then 10
  r.clanAcBonus = -6;         // flat: 4 -> -2
  clanastats(*g.form, 0);
  clanastats(*g.form, 1);
  EXPECT_EQ(g.player("B").maxHp, 16);  // 16.5 -> 16
  EXPECT_EQ(r.maxHp, 28);
  EXPECT_EQ(r.baseMaxHp, 25);
  EXPECT_EQ(r.strength, 15);
  EXPECT_EQ(r.speed, 90);
  EXPECT_EQ(r.maxCharisma, 42);
  EXPECT_EQ(r.maxMp, 10);
  EXPECT_EQ(r.baseMaxMp, 0);
  EXPECT_EQ(r.ac, -2);
  EXPECT_EQ(r.baseAc, 4);
  clandstats(*g.form, 0);
  EXPECT_EQ(r.maxHp, 25);
  EXPECT_EQ(r.strength, 20);
  EXPECT_EQ(r.speed, 30);
  EXPECT_EQ(r.maxCharisma, 40);
  EXPECT_EQ(r.maxMp, 0);
  EXPECT_EQ(r.ac, 4);
  // A missing character is ignored.
  const PlayerRecord before = r;
  EXPECT_NO_THROW(clanastats(*g.form, kNoPlayer));
  EXPECT_NO_THROW(clandstats(*g.form, kNoPlayer));
  EXPECT_EQ(r, before);
}

TEST(Heal, RefusalsComeInOrderAndOnlyExactlyFullHpCountsAsHealthy) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(4);
  g.givenPlayer("Bob").withHp(30).withGold(10);  // above the maximum of 15
  heal(*g.form, 7, "Ann", 5, 15);  // full hp, but the gold is tested first
  heal(*g.form, 7, "Ann", 4, 15);
  heal(*g.form, 8, "Bob", 3, 15);
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You do not have enough gp.", "whisper 7 You already have enough hp.",
                                  "whisper 8 Your hp has been healed for 3gp."}));
  EXPECT_EQ(g.player("Ann").gold, 4);
  EXPECT_EQ(g.player("Bob").hp, 15);
  EXPECT_EQ(g.player("Bob").gold, 7);
}

}  // namespace
}  // namespace kelva
