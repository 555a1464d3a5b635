#include "combat/pvp_round.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

#include "combat/battle_table.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using combat::battleTick;
using combat::SPvP;
using testing::GameFixture;
using testing::PlayerBuilder;
using Calls = std::vector<std::string>;

// Att (session 2) attacks Def (session 3); both have PvP on.
struct Duel {
  GameFixture g;
  PlayerBuilder att = g.givenPlayer("Att").withPvp();
  PlayerBuilder def = g.givenPlayer("Def").withPvp();

  void open() {
    g.clickAvatar("Att", 2, "Def", 3);
    g.takeCalls();
  }
  // The damage the next strike of `strength` draws.
  static int32_t blow(Rng& rng, int32_t strength, int32_t ac) {
    const int32_t damage = std::max<int32_t>(static_cast<int32_t>(rng.roll(strength)) + 1, strength / 2) - ac;
    return std::max(damage, 0);
  }
};

TEST(PvpRound, AOneBlowWinTakesAShareOfTheLosersGoldAndExperience) {
  Duel d;
  d.att.withStrength(1000);
  d.def.withHp(1).withGold(100).withExp(100);
  d.g.clickAvatar("Att", 2, "Def", 3);
  Rng expected = d.g.form->rng;
  d.g.form->timer1Tick();
  const std::string hit = "Att hits Def with " + std::to_string(Duel::blow(expected, 1000, 0)) + " damage.";
  EXPECT_EQ(d.g.takeCalls(), (Calls{
                                 "whisper 3 You are being attacked by Att.",
                                 "whisper 2 You are attacking Def.",
                                 "whisper 3 " + hit,
                                 "whisper 2 " + hit,
                                 "whisper 3 Att has beaten Def.",
                                 "whisper 2 Att has beaten Def.",
                                 "whisper 2 You gained 5gp and 7exp.",
                                 "whisper 3 You lost 5gp and 7exp.",
                                 "whisper 2 You need 93 more experience to level up.",
                             }));
  EXPECT_EQ(d.g.form->rng.state(), expected.state());  // the defender never struck back
  EXPECT_EQ(d.g.statsFile(),
            "Att,1,Human,none,1000,10,10,10,15,15,0,0,10,0,7,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,1000\r\n"
            "Def,1,Human,none,10,10,10,10,0,15,0,0,95,0,93,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n");
  EXPECT_EQ(combat::battleing(*d.g.form, "Att"), -1);
}

TEST(PvpRound, EveryBlowGoesToTheDefenderThenTheAttacker) {
  Duel d;
  d.att.withHp(1000000).withAc(1);
  d.def.withHp(1000000);
  d.open();
  Rng expected = d.g.form->rng;
  for (int round = 0; round < 200; ++round) {
    SPvP(*d.g.form, 0);
    const std::string first = "Att hits Def with " + std::to_string(Duel::blow(expected, 10, 0)) + " damage.";
    const std::string second =
        "Def hits Att with " + std::to_string(Duel::blow(expected, 10, 1)) + " damage.";
    ASSERT_EQ(d.g.takeCalls(), (Calls{"whisper 3 " + first, "whisper 2 " + first, "whisper 3 " + second,
                                      "whisper 2 " + second}));
  }
  // 5 to 10 damage a blow, less Att's armour for Def's blows.
  EXPECT_GE(1000000 - d.g.player("Def").hp, 200 * 5);
  EXPECT_LE(1000000 - d.g.player("Def").hp, 200 * 10);
  EXPECT_GE(1000000 - d.g.player("Att").hp, 200 * 4);
  EXPECT_LE(1000000 - d.g.player("Att").hp, 200 * 9);
}

TEST(PvpRound, ArmourAsStrongAsTheStrikerStopsEveryBlow) {
  Duel d;
  d.att.withAc(10);
  d.def.withAc(12);
  d.open();
  SPvP(*d.g.form, 0);
  EXPECT_EQ(d.g.takeCalls(),
            (Calls{"whisper 3 Att hits Def with 0 damage.", "whisper 2 Att hits Def with 0 damage.",
                   "whisper 3 Def hits Att with 0 damage.", "whisper 2 Def hits Att with 0 damage."}));
  EXPECT_EQ(d.g.player("Att").hp, 15);
  EXPECT_EQ(d.g.player("Def").hp, 15);
}

TEST(PvpRound, ADefenderWhoWinsIsTheWinner) {
  Duel d;
  d.att.withHp(1).withExp(10).withGold(0);
  d.def.withStrength(100).withHp(1000);
  d.open();
  SPvP(*d.g.form, 0);
  const Calls calls = d.g.takeCalls();
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[4], "whisper 3 Def has beaten Att.");
  EXPECT_EQ(calls[5], "whisper 2 Def has beaten Att.");
  EXPECT_EQ(calls[6], "whisper 3 You gained 0gp and 0exp.");
  EXPECT_EQ(calls[7], "whisper 2 You lost 0gp and 0exp.");
  EXPECT_EQ(calls[8], "whisper 3 You need 100 more experience to level up.");
  EXPECT_EQ(d.g.player("Att").hp, 0);
  EXPECT_EQ(d.g.player("Att").exp, 10);
}

TEST(PvpRound, APlayerBroughtDownBetweenRoundsFallsAtTheNextBlow) {
  Duel d;
  d.def.withHp(-20);  // a skill took Def below zero
  d.open();
  SPvP(*d.g.form, 0);
  const Calls calls = d.g.takeCalls();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[2], "whisper 3 Att has beaten Def.");
}

// The King judges the winner after the level-ups of the win.
struct KingCase {
  int32_t winnerLevel;
  int32_t winnerExp;
  int32_t loserLevel;
  bool executed;
};

void PrintTo(const KingCase& c, std::ostream* os) {
  *os << "winner level " << c.winnerLevel << " exp " << c.winnerExp << ", loser level " << c.loserLevel;
}

class KingsRule : public ::testing::TestWithParam<KingCase> {};

TEST_P(KingsRule, AWinnerMoreThanTenLevelsAboveTheLoserIsExecuted) {
  const KingCase c = GetParam();
  Duel d;
  d.att.withStrength(1000).withLevel(c.winnerLevel).withExp(c.winnerExp);
  d.def.withHp(1).withLevel(c.loserLevel).withExp(200);  // pays 14 exp
  d.open();
  SPvP(*d.g.form, 0);
  const Calls calls = d.g.takeCalls();
  const Calls king{
      "whisper 2 King of Varnhol:     How dare you attack someone that much weaker then you. Off with his "
      "head!",
      "whisper 2 You were killed by order of the King."};
  const Calls tail(calls.end() - 2, calls.end());
  EXPECT_EQ(tail == king, c.executed);
  EXPECT_EQ(d.g.player("Att").hp == 0, c.executed);
  EXPECT_EQ(d.g.player("Att").exp, c.winnerExp + 14 - (d.g.player("Att").level > c.winnerLevel ? 2000 : 0));
  EXPECT_EQ(combat::battleing(*d.g.form, "Att"), -1);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, KingsRule,
                         ::testing::Values(KingCase{21, 0, 10, true}, KingCase{20, 0, 10, false},
                                           KingCase{20, 1990, 10, true}, KingCase{21, 0, 11, false}));

TEST(PvpRound, AStrongDefenderIsJudgedToo) {
  Duel d;
  d.att.withHp(1);
  d.def.withStrength(1000).withLevel(30);
  d.open();
  SPvP(*d.g.form, 0);
  const Calls calls = d.g.takeCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.back(), "whisper 3 You were killed by order of the King.");
  EXPECT_EQ(d.g.player("Def").hp, 0);
}

TEST(PvpRound, EventsPendingAtTheTickRunBetweenTheTwoBlows) {
  Duel d;
  d.open();
  // Def runs while Att's blow lands; the round still ends with Def's blow,
  // naming both players. An event queued by that pump waits for the next one:
  // the round pumps exactly once.
  d.g.world.queueChat("Def", 3, "/run");
  d.g.world.queue([&] { d.g.world.queueChat("Att", 2, "/pvp"); });
  battleTick(*d.g.form);
  const Calls calls = d.g.takeCalls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].rfind("whisper 3 Att hits Def with ", 0), 0u);
  EXPECT_EQ(calls[1].rfind("whisper 2 Att hits Def with ", 0), 0u);
  EXPECT_EQ(calls[2], "whisper 3 You ran from battle!");
  EXPECT_EQ(calls[3], "whisper 2 Def ran from the battle.");
  EXPECT_EQ(calls[4].rfind("whisper 3 Def hits Att with ", 0), 0u);
  EXPECT_EQ(calls[5].rfind("whisper 2 Def hits Att with ", 0), 0u);
  EXPECT_EQ(d.g.world.pending.size(), 1u);
}

TEST(PvpRound, AnOverflowingShareAbandonsTheRoundUntilTheNextTick) {
  Duel d;
  d.att.withStrength(1000).withGold(5).withExp(INT32_MAX - 3);
  d.def.withHp(1).withGold(100).withExp(100);
  d.open();
  for (int tick = 0; tick < 2; ++tick) {
    SPvP(*d.g.form, 0);
    const Calls calls = d.g.takeCalls();
    ASSERT_EQ(calls.size(), 2u);  // the blow, then nothing
    EXPECT_EQ(d.g.player("Att").gold, 5);
    EXPECT_EQ(d.g.player("Att").exp, INT32_MAX - 3);
    EXPECT_EQ(d.g.player("Def").gold, 100);
    EXPECT_EQ(d.g.player("Def").exp, 100);
    EXPECT_EQ(combat::battleing(*d.g.form, "Def"), 0);
  }
  EXPECT_EQ(d.g.statsFile(), "");
}

}  // namespace
}  // namespace kelva
