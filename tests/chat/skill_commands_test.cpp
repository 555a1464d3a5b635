#include "chat/skill_commands.h"

#include <gtest/gtest.h>

#include "combat/battle_table.h"
#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

// Ann fights a troll (40 hp, strength 8, 50 gold) in slot 0.
void annFightsATroll(GameFixture& g) {
  combat::addbattle(*g.form, 3, 40, "Troll", 8, 20, 50, "Ann", userpos(g.form->roster, "Ann"), 7);
  g.takeCalls();
}

// Ann (session 7) attacks Bob (session 8).
void annAttacksBob(GameFixture& g) {
  combat::addpvp(*g.form, "Bob", "Ann", 8, 7);
  g.takeCalls();
}

// A seed whose first roll of 3 is (or is not) 0: a theft that succeeds or fails.
int64_t seedForTheft(bool succeeds) {
  for (int64_t seed = 1;; ++seed) {
    Rng r;
    r.seed(seed);
    if ((r.roll(3) == 0) == succeeds) return seed;
  }
}

TEST(SkillCommands, TestsRunCharacterBattleThenSkillThenMagicPoints) {
  GameFixture g;
  g.givenPlayer("Ann").withMp(0);
  g.chat("Zed", 9, "/HEALING PLANTS");
  g.chat("Ann", 7, "/HEALING PLANTS");
  g.chat("Ann", 7, "/ANCIENT MAGIC");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 9 You do not have a charecter.", "whisper 7 You do not know this skill.",
                                  "whisper 7 You are not battling."}));
  annFightsATroll(g);
  g.chat("Ann", 7, "/ANCIENT MAGIC");
  g.player("Ann").skills = "ancient magic";
  g.player("Ann").mp = 29;
  const uint32_t seed = g.form->rng.state();
  g.chat("Ann", 7, "/ANCIENT MAGIC");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You do not know this skill.", "whisper 7 You do not have enough MP."}));
  EXPECT_EQ(g.player("Ann").mp, 29);
  EXPECT_EQ(g.form->battles[0].ehp, 40);
  EXPECT_EQ(g.form->rng.state(), seed);  // no draw for a refusal
  EXPECT_EQ(g.statsFile(), "");
}

// Against a monster: exactly the cost is enough, fixed damage draws nothing,
// the monster's hit points may go below zero (the round, not the skill, ends
// the battle) and nothing is saved.
TEST(SkillCommands, AgainstAMonster) {
  GameFixture g;
  g.givenPlayer("Ann").withMp(40).withSkills("ancient magic,blinding flash");
  annFightsATroll(g);
  Rng expected = g.form->rng;
  const std::string damage = std::to_string(expected.roll(2001) + 1000);
  g.chat("Ann", 7, "/ancient magic");
  g.chat("Ann", 7, "/Blinding Flash");
  g.chat("Ann", 7, "/BLINDING FLASH");
  g.chat("Ann", 7, "/BLINDING FLASH ");  // not the command
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You did " + damage + " damage with Ancient Magic.",
                                  "whisper 7 You did 25 damage with a Blinding Flash.",
                                  "whisper 7 You did 25 damage with a Blinding Flash."}));
  EXPECT_EQ(g.player("Ann").mp, 0);
  EXPECT_EQ(g.form->battles[0].ehp, 40 - std::stoi(damage) - 50);
  EXPECT_EQ(g.form->battles[0].name1, "Ann");
  EXPECT_EQ(g.form->rng.state(), expected.state());
  EXPECT_EQ(g.statsFile(), "");
}

// Every damage skill against another player: its cost, its damage, and the
// words both players hear. Bombachus are launched by those who know hand
// grenades, not by a skill of their own.
TEST(SkillCommands, EachSkillAgainstAPlayer) {
  struct Case {
    std::string command;
    std::string skill;
    int32_t mp;
    int64_t spread;  // 0: fixed damage
    int64_t base;
    std::string mine;
    std::string theirs;
  };
  const Case cases[] = {
      {"/BEHEAD", "behead", 0, 501, 500, " damage with behead.", " HP from a behead attack."},
      {"/SLICENDICE", "slicendice", 0, 301, 700, " damage with SliceNDice.", " HP from a SliceNDice attack."},
      {"/TERMINATE", "terminate", 10, 501, 500, " damage with Terminate.", " HP from a Terminate attack."},
      {"/ANCIENT MAGIC", "ancient magic", 30, 2001, 1000, " damage with Ancient Magic.",
       " HP from a Ancient Magic attack."},
      {"/RANGER MAGIC", "ranger magic", 20, 701, 800, " damage with Ranger Magic.", " HP from a Ranger Magic attack."},
      {"/BLINDING FLASH", "blinding flash", 5, 0, 25, " damage with a Blinding Flash.",
       " HP from a Blinding Flash attack."},
      {"/FIRE CRACKER", "fire cracker", 15, 0, 50, " damage with a Fire Cracker.", " HP from a Fire Cracker attack."},
      {"/BOMB MASK", "bomb mask", 20, 0, 75, " damage with a Bomb Mask attack.", " HP from a Bomb Mask attack."},
      {"/HAND GRENADE", "hand grenade", 25, 0, 125, " damage with a Hand Grenade.", " HP from a Hand Grenade."},
      {"/BOMBACHU LAUNCHING", "hand grenade", 40, 0, 200, " damage with a Bombachu.", " HP from a Bombachu."},
  };
  for (const Case& c : cases) {
    GameFixture g;
    g.givenPlayer("Ann").withMp(c.mp + 1).withSkills(c.skill);
    g.givenPlayer("Bob").withHp(100);
    annAttacksBob(g);
    Rng expected = g.form->rng;
    const int64_t damage = c.spread > 0 ? expected.roll(c.spread) + c.base : c.base;
    g.chat("Ann", 7, c.command);
    EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You did " + std::to_string(damage) + c.mine,
                                    "whisper 8 You lost " + std::to_string(damage) + c.theirs}))
        << c.command;
    EXPECT_EQ(g.player("Bob").hp, 100 - damage) << c.command;
    EXPECT_EQ(g.player("Ann").mp, 1) << c.command;
    EXPECT_EQ(g.form->rng.state(), expected.state()) << c.command;
    EXPECT_NE(g.statsFile().find(statsLine(g.player("Bob"))), std::string::npos) << c.command;
  }

  GameFixture g;
  g.givenPlayer("Ann").withMp(100).withSkills("bombachu");
  annFightsATroll(g);
  g.chat("Ann", 7, "/BOMBACHU LAUNCHING");
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 You do not know this skill."});
}

TEST(SkillCommands, TheDefenderHitsTheAttacker) {
  GameFixture g;
  g.givenPlayer("Ann").withHp(100);
  g.givenPlayer("Bob").withHp(100).withMp(20).withSkills("bomb mask");
  annAttacksBob(g);
  g.chat("Bob", 8, "/BOMB MASK");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 8 You did 75 damage with a Bomb Mask attack.",
                                  "whisper 7 You lost 75 HP from a Bomb Mask attack."}));
  EXPECT_EQ(g.player("Ann").hp, 25);
  EXPECT_EQ(g.player("Bob").hp, 100);
}

// In a monster battle a theft pays out of nowhere (the reward stays) and a
// caught thief is hurt by the monster's strength; either way the character
// is saved.
TEST(Steal, InAMonsterBattle) {
  for (const bool succeeds : {true, false}) {
    SCOPED_TRACE(succeeds ? "stolen" : "caught");
    GameFixture g;
    g.givenPlayer("Ann").withHp(15).withGold(5).withSkills("steal");
    annFightsATroll(g);
    g.form->rng.seed(seedForTheft(succeeds));
    Rng expected = g.form->rng;
    expected.roll(3);
    const int64_t amount = expected.roll(succeeds ? 50 : 8) + 1;
    g.chat("Ann", 7, succeeds ? "/steal" : "/STEAL");
    EXPECT_EQ(g.takeCalls(), Calls{succeeds ? "whisper 7 You stole " + std::to_string(amount) + "gp."
                                            : "whisper 7 You were cuaght and took " + std::to_string(amount) + " damage."});
    EXPECT_EQ(g.player("Ann").gold, succeeds ? 5 + amount : 5);
    EXPECT_EQ(g.player("Ann").hp, succeeds ? 15 : 15 - amount);
    EXPECT_EQ(g.form->battles[0].egp, 50);
    EXPECT_EQ(g.form->rng.state(), expected.state());
    EXPECT_NE(g.statsFile().find("Ann,"), std::string::npos);
  }
}

}  // namespace
}  // namespace kelva
