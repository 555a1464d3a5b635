#include "combat/battle_table.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva {
namespace {

using combat::addbattle;
using combat::addpvp;
using combat::battleing;
using combat::battleTick;
using combat::removebattle;
using testing::GameFixture;
using Calls = std::vector<std::string>;

void openTroll(GameFixture& g, const std::string& name, int32_t session) {
  addbattle(*g.form, 3, 40, "Troll", 8, 20, 50, name, userpos(g.form->roster, name), session);
}

void occupy(GameFixture& g, int slot, const std::string& name) {
  g.form->battles[static_cast<std::size_t>(slot)].name1 = name;
  g.form->battles[static_cast<std::size_t>(slot)].kind = "battle";
}

TEST(BattleTable, AddbattleFillsTheFirstFreeSlotAndRefusesOnlyByASlotBeforeIt) {
  GameFixture g;
  g.givenPlayer("Ann");
  g.givenPlayer("Bob");
  occupy(g, 0, "Cid");
  occupy(g, 3, "Ann");  // past the first free slot: not seen
  g.form->battles[1].turn = 1;
  openTroll(g, "Bob", 9);
  const BattleSlot& s = g.form->battles[1];
  EXPECT_EQ(s.name1, "Bob");
  EXPECT_EQ(s.ploc1, 1);
  EXPECT_EQ(s.turn, 0);
  openTroll(g, "Ann", 7);
  EXPECT_EQ(g.form->battles[2].name1, "Ann");
  openTroll(g, "Ann", 7);
  EXPECT_EQ(g.form->battles[4].name1, "");
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 9 You are battling Troll, 40 HP.",
                                  "whisper 7 You are battling Troll, 40 HP.", "whisper 7 You are already battling."}));
}

TEST(BattleTable, AFullTableIgnoresNewFights) {
  GameFixture g;
  g.givenPlayer("Ann").withPvp();
  g.givenPlayer("Bob").withPvp();
  for (int i = 0; i < kBattleSlots; ++i) occupy(g, i, "X" + std::to_string(i));
  const BattleTable before = g.form->battles;
  openTroll(g, "Ann", 7);
  g.clickAvatar("Ann", 7, "Bob", 8);
  EXPECT_EQ(g.form->battles, before);
  EXPECT_TRUE(g.takeCalls().empty());
}

TEST(BattleTable, AddpvpReusesAFreedSlotWritingOnlyThePlayerFields) {
  GameFixture g;
  g.givenPlayer("Def");
  g.givenPlayer("Att");
  openTroll(g, "Cid", 5);
  g.form->battles[0].turn = 1;
  removebattle(*g.form, 0);  // clears the names only
  g.takeCalls();
  addpvp(*g.form, "Def", "Att", 3, 2);
  const BattleSlot& s = g.form->battles[0];
  EXPECT_EQ(s.ploc1, 0);
  EXPECT_EQ(s.ploc2, 1);
  EXPECT_EQ(s.kind, "pvp");
  // The monster fields and the turn of the old fight stay.
  EXPECT_EQ(s.ename, "Troll");
  EXPECT_EQ(s.ehp, 40);
  EXPECT_EQ(s.turn, 1);
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 3 You are being attacked by Att.", "whisper 2 You are attacking Def."}));
}

TEST(BattleTable, AddpvpRefusesByTheFirstSlotThatDecides) {
  GameFixture g;
  occupy(g, 0, "Def");
  occupy(g, 1, "Att");
  addpvp(*g.form, "Def", "Att", 3, 2);
  g.form->battles[0].name1 = "Att";
  g.form->battles[1].name1 = "Def";
  addpvp(*g.form, "Def", "Att", 3, 2);
  EXPECT_EQ(g.takeCalls(),
            (Calls{"whisper 2 That person is already battling.", "whisper 2 You are already battling."}));
  EXPECT_EQ(g.form->battles[2].name1, "");
}

TEST(AvatarClick, OnlyExactlyZeroHpCountsAsDead) {
  GameFixture g;
  g.givenPlayer("Att").withPvp();
  g.givenPlayer("Def").withPvp().withHp(-4);
  g.clickAvatar("Att", 2, "Def", 3);
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 3 You are being attacked by Att.", "whisper 2 You are attacking Def."}));
  EXPECT_EQ(battleing(*g.form, "Def"), 0);
}

TEST(BattleTick, SlotsAreTestedWhenTheLoopReachesThem) {
  GameFixture g;
  g.givenPlayer("Att").withStrength(1000);
  g.givenPlayer("Def").withHp(1);
  g.givenPlayer("Ann");
  g.givenPlayer("Bob");
  g.givenPlayer("Cid").withSpeed(100);
  addpvp(*g.form, "Def", "Att", 3, 2);
  addpvp(*g.form, "Bob", "Ann", 6, 5);
  // During the first round's pump Ann runs from her fight and Cid opens one
  // in the slot she left: that slot is fought as Cid's, in the same tick.
  g.world.queue([&] { removebattle(*g.form, 1); });
  g.world.queue([&] { openTroll(g, "Cid", 9); });
  g.takeCalls();
  battleTick(*g.form);
  const Calls calls = g.takeCalls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[2], "whisper 9 You are battling Troll, 40 HP.");
  EXPECT_EQ(calls.back().rfind("whisper 9 You hit the Troll with ", 0), 0u);
  for (const auto& c : calls) EXPECT_EQ(c.find("Ann hits"), std::string::npos) << c;
  EXPECT_EQ(g.form->battles[0].name1, "");
}

TEST(BattleTick, AFailingSlotDoesNotStopTheTick) {
  GameFixture g;
  g.givenPlayer("Ann").withSpeed(100);
  g.form->battles[0].name1 = "Lost";
  g.form->battles[0].name2 = "Gone";
  g.form->battles[0].kind = "pvp";
  g.form->battles[0].ploc1 = -3;  // outside the roster
  g.form->battles[1].name1 = "Odd";
  g.form->battles[1].session1 = "not a session";
  g.form->battles[1].kind = "pvp";
  openTroll(g, "Ann", 7);
  g.takeCalls();
  battleTick(*g.form);
  const Calls calls = g.takeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("whisper 7 You hit the Troll with ", 0), 0u);
  EXPECT_EQ(g.form->battles[0].name1, "Lost");
}

}  // namespace
}  // namespace kelva
