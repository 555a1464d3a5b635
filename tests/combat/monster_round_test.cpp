#include "combat/monster_round.h"

#include <gtest/gtest.h>

#include <climits>

#include "combat/battle_table.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using combat::addbattle;
using combat::Sbattle;
using testing::GameFixture;
using Calls = std::vector<std::string>;

struct Monster {
  int32_t edex = 0;
  int32_t ehp = 1000000;
  int32_t estr = 0;
  int32_t eexp = 0;
  int32_t egp = 0;
};

// Ann (roster 0, session 7) fights a Troll in slot 0.
BattleSlot& fight(GameFixture& g, const Monster& m) {
  addbattle(*g.form, m.edex, m.ehp, "Troll", m.estr, m.eexp, m.egp, "Ann", userpos(g.form->roster, "Ann"), 7);
  g.takeCalls();
  return g.form->battles[0];
}

// The damage of a "You hit the Troll with N damage." line, or -1 for a miss.
int hitDamage(const std::string& call) {
  const std::string hit = "whisper 7 You hit the Troll with ";
  if (call == "whisper 7 You miss the Troll.") return -1;
  EXPECT_EQ(call.rfind(hit, 0), 0u) << call;
  return std::stoi(call.substr(hit.size()));
}

// Many player strikes; the turn is put back each time so only the player strikes.
std::vector<int> playerStrikes(GameFixture& g, BattleSlot& s, int count) {
  std::vector<int> out;
  for (int k = 0; k < count; ++k) {
    s.turn = 0;
    Sbattle(*g.form, 0);
    const Calls calls = g.takeCalls();
    EXPECT_EQ(calls.size(), 1u);
    if (calls.size() == 1) out.push_back(hitDamage(calls[0]));
  }
  return out;
}

// A hit draws its damage from half (rounded down) to full strength, and only
// a hit draws it; the weakest still do one point.
TEST(MonsterRound, EvenSpeedHitsOneTimeInSixForHalfToFullStrength) {
  GameFixture g;
  g.givenPlayer("Ann").withStrength(11);  // speed 10
  BattleSlot& s = fight(g, {.edex = 10});
  Rng expected = g.form->rng;
  int32_t ehp = s.ehp;
  for (int damage : playerStrikes(g, s, 600)) {
    const bool hit = expected.roll(6) == 0;
    ASSERT_EQ(damage >= 0, hit);
    if (hit) {
      ASSERT_EQ(damage, std::max<int>(static_cast<int>(expected.roll(11)) + 1, 5));
      ehp -= damage;
    }
  }
  EXPECT_EQ(s.ehp, ehp);
  s.edex = 0;  // too slow to dodge
  for (int strength : {0, 1}) {
    g.player("Ann").strength = strength;
    for (int damage : playerStrikes(g, s, 50)) ASSERT_EQ(damage, 1);
  }
}

TEST(MonsterRound, FiveFasterNeverMissesAndSlowerNeverHits) {
  GameFixture g;
  g.givenPlayer("Ann").withSpeed(15);
  BattleSlot& s = fight(g, {.edex = 10});
  for (int damage : playerStrikes(g, s, 3000)) ASSERT_GE(damage, 0);
  s.edex = 16;
  for (int damage : playerStrikes(g, s, 3000)) ASSERT_EQ(damage, -1);
}

TEST(MonsterRound, MonsterDamageIsHalfToFullStrengthLessArmour) {
  GameFixture g;
  g.givenPlayer("Ann").withAc(2).withHp(1000000);
  BattleSlot& s = fight(g, {.estr = 10});
  Rng expected = g.form->rng;
  int32_t hp = 1000000;
  for (int k = 0; k < 500; ++k) {
    s.turn = 1;
    Sbattle(*g.form, 0);
    const int damage = std::max<int>(static_cast<int>(expected.roll(10)) + 1, 5) - 2;
    hp -= damage;
    ASSERT_EQ(g.takeCalls(), Calls{"whisper 7 Troll hits you with " + std::to_string(damage) + " damage."});
    ASSERT_EQ(g.player("Ann").hp, hp);
    ASSERT_EQ(s.turn, 0);
  }
  // Armour as strong as the monster stops every strike.
  s.estr = 1;
  s.turn = 1;
  g.player("Ann").ac = 1;
  Sbattle(*g.form, 0);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 Troll could not damage you."});
  EXPECT_EQ(g.player("Ann").hp, hp);
}

// Ann, too fast to miss, strikes the Troll down at the first tick: what she
// is told after her blow, what she has then and what is saved. The slot is
// free again however the reward went.
TEST(MonsterRound, AVictoryPaysLevelsUpAsFarAsItCanAndFreesTheSlot) {
  struct Case {
    const char* what;
    int32_t exp, gold, maxHp;
    Monster troll;
    Calls told;  // after the blow
    int32_t level, expAfter, goldAfter;
  };
  const std::string beaten = "whisper 7 You have beaten the Troll and has gained ";
  const Case cases[] = {
      {"two level-ups", 250, 5, 15, {.ehp = 5, .eexp = 100, .egp = 30},
       {beaten + "30gp and 100exp.", "whisper 7 You are now level 2.", "whisper 7 You are now level 3.",
        "whisper 7 You need 250 more experience to level up."}, 3, 50, 35},
      // The gold would overflow: the whole reward is skipped.
      {"an overflowing reward", 0, INT32_MAX - 10, 15, {.ehp = 1, .eexp = 40, .egp = 11},
       {beaten + "11gp and 40exp.", "whisper 7 You need 100 more experience to level up."}, 1, 0, INT32_MAX - 10},
      // The level-up spent 100 experience before the hit points overflowed;
      // the loop stops there and the need it last worked out is told.
      {"a failed level-up", 250, 0, INT32_MAX - 2, {.ehp = 1, .eexp = 100},
       {beaten + "0gp and 100exp.", "whisper 7 You need -250 more experience to level up."}, 1, 250, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameFixture g;
    g.givenPlayer("Ann").withSpeed(100).withExp(c.exp).withGold(c.gold).withMaxHp(c.maxHp);
    fight(g, c.troll);
    Sbattle(*g.form, 0);
    EXPECT_EQ(g.form->battles[0].name1, "");
    const Calls calls = g.takeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(Calls(calls.begin() + 1, calls.end()), c.told);
    EXPECT_EQ(g.player("Ann").level, c.level);
    EXPECT_EQ(g.player("Ann").exp, c.expAfter);
    EXPECT_EQ(g.player("Ann").gold, c.goldAfter);
    EXPECT_NE(g.statsFile().find("Ann," + std::to_string(c.level) + ","), std::string::npos);
  }
}

TEST(MonsterRound, AStrikeTheHitPointsCannotTakeIsNotAnnounced) {
  GameFixture g;
  g.givenPlayer("Ann").withHp(INT32_MIN + 1).withGold(40);
  BattleSlot& s = fight(g, {.estr = 10});
  s.turn = 1;
  Sbattle(*g.form, 0);
  // The subtraction overflows, so the strike's line is skipped with it; the
  // death test that follows still runs.
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You have been killed by Troll.",
                                  "whisper 7 You have lost 0 experience and 2 gp."}));
  EXPECT_EQ(g.player("Ann").hp, 0);
  EXPECT_EQ(g.player("Ann").gold, 38);
  EXPECT_EQ(s.name1, "");
}

TEST(MonsterRound, ABadRosterIndexSkipsThePlayersStepsOnly) {
  GameFixture g;
  g.givenPlayer("Ann");
  BattleSlot& s = fight(g, {.estr = 10});
  s.ploc1 = kNoPlayer;
  EXPECT_NO_THROW(Sbattle(*g.form, 0));
  EXPECT_EQ(s.turn, 1);
  EXPECT_NO_THROW(Sbattle(*g.form, 0));
  EXPECT_EQ(s.turn, 0);
  EXPECT_TRUE(g.takeCalls().empty());
  EXPECT_EQ(s.name1, "Ann");
  EXPECT_EQ(s.ehp, 1000000);
}

}  // namespace
}  // namespace kelva
