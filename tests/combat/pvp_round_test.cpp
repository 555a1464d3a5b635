#include "combat/pvp_round.h"

#include <gtest/gtest.h>

#include <climits>

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
};

TEST(PvpRound, EachBlowDrawsHalfToFullStrengthLessArmourNeverBelowZero) {
  Duel d;
  d.att.withHp(1000000).withAc(7);  // Def's blows run from 5 - 7 to 10 - 7
  d.def.withHp(1000000);
  d.open();
  Rng expected = d.g.form->rng;
  auto blow = [&expected](int32_t strength, int32_t ac) {
    const int32_t damage =
        std::max<int32_t>(static_cast<int32_t>(expected.roll(strength)) + 1, strength / 2) - ac;
    return std::max(damage, 0);
  };
  int32_t attHp = 1000000;
  for (int round = 0; round < 100; ++round) {
    SPvP(*d.g.form, 0);
    const std::string first = "Att hits Def with " + std::to_string(blow(10, 0)) + " damage.";
    const int32_t back = blow(10, 7);
    attHp -= back;
    const std::string second = "Def hits Att with " + std::to_string(back) + " damage.";
    ASSERT_EQ(d.g.takeCalls(), (Calls{"whisper 3 " + first, "whisper 2 " + first, "whisper 3 " + second,
                                      "whisper 2 " + second}));
    ASSERT_EQ(d.g.player("Att").hp, attHp);
  }
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

TEST(PvpRound, EventsPendingAtTheTickRunBetweenTheTwoBlows) {
  Duel d;
  d.open();
  // Def runs while Att's blow lands; the round still ends with Def's blow.
  // An event queued by that pump waits for the next one: the round pumps
  // exactly once.
  d.g.world.queueChat("Def", 3, "/run");
  d.g.world.queue([&] { d.g.world.queueChat("Att", 2, "/pvp"); });
  battleTick(*d.g.form);
  const Calls calls = d.g.takeCalls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[2], "whisper 3 You ran from battle!");
  EXPECT_EQ(calls[5].rfind("whisper 2 Def hits Att with ", 0), 0u);
  EXPECT_EQ(d.g.world.pending.size(), 1u);
}

TEST(PvpRound, AnOverflowingShareAbandonsTheRoundButKeepsWhatWasMoved) {
  Duel d;
  d.att.withStrength(1000).withGold(5).withExp(INT32_MAX - 3);
  d.def.withHp(1).withGold(100).withExp(100);
  d.open();
  // The winner's gold comes in before the experience overflows; the round is
  // fought again at each tick, and each time the gold comes in again.
  for (int tick = 1; tick <= 2; ++tick) {
    SPvP(*d.g.form, 0);
    const Calls calls = d.g.takeCalls();
    ASSERT_EQ(calls.size(), 2u);  // the blow, then nothing
    EXPECT_EQ(d.g.player("Att").gold, 5 + 5 * tick);
    EXPECT_EQ(d.g.player("Att").exp, INT32_MAX - 3);
    EXPECT_EQ(d.g.player("Def").hp, 0);
    EXPECT_EQ(d.g.player("Def").gold, 100);
    EXPECT_EQ(d.g.player("Def").exp, 100);
    EXPECT_EQ(combat::battleing(*d.g.form, "Def"), 0);
  }
  EXPECT_EQ(d.g.statsFile(), "");
}

}  // namespace
}  // namespace kelva
