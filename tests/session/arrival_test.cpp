#include "session/arrival.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

class ArrivalTest : public ::testing::Test, public GameFixture {
 protected:
  void arrive(const std::string& name) {
    world.AvatarName = name;
    form->onAvatarAdd();
  }
};

const char* const kNewAnnLine = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";

TEST_F(ArrivalTest, ANewAvatarGetsACharacterAListEntryAndASave) {
  arrive("Ann");
  EXPECT_EQ(form->playerCount, 1);
  EXPECT_EQ(form->roster[0].name, "Ann");
  EXPECT_EQ(form->roster[0].hp, 15);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"combo1 Ann"}));
  EXPECT_EQ(form->console.Combo1, (std::vector<std::string>{"Ann"}));
  EXPECT_EQ(statsFile(), kNewAnnLine);
  EXPECT_TRUE(takeCalls().empty());  // nothing is said to the avatar
}

TEST_F(ArrivalTest, AnAvatarWithACharacterIsLeftAlone) {
  givenPlayer("Ann").withGold(99);
  arrive("Ann");
  EXPECT_EQ(form->playerCount, 1);
  EXPECT_EQ(form->roster[0].gold, 99);
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(statsFile(), "");
}

TEST_F(ArrivalTest, NamesDifferingInCaseGetTwoCharacters) {
  arrive("Ann");
  arrive("ANN");
  arrive("ann");
  arrive("Ann");
  EXPECT_EQ(form->playerCount, 3);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"combo1 Ann", "combo1 ANN", "combo1 ann"}));
}

TEST_F(ArrivalTest, ANameTheStatsFileCannotHoldGetsNoCharacter) {
  ::testing::internal::CaptureStderr();
  arrive("Ann,Lee");
  arrive("Ann\nLee");
  arrive("Ann\rLee");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(form->playerCount, 0);
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(statsFile(), "");
  EXPECT_NE(err.find("Ann,Lee"), std::string::npos);
  // Blanks and "!" are safe in a name.
  arrive("Ann Lee!");
  EXPECT_EQ(form->playerCount, 1);
}

TEST_F(ArrivalTest, AFullRosterCreatesNothing) {
  form->playerCount = kRosterSize;
  ::testing::internal::CaptureStderr();
  arrive("Zed");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(form->playerCount, kRosterSize);
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(statsFile(), "");
  EXPECT_NE(err.find("full"), std::string::npos);
}

TEST_F(ArrivalTest, AReusedSlotKeepsWhatTheStartingValuesDoNotSet) {
  givenPlayer("Ann");
  givenPlayer("Old").withItems("scan,hppotion").withSkills("steal").withShroomType("evil").withPvp();
  form->roster[1].clanAcBonus = 3;
  form->playerCount = 1;  // as after a reload of a shorter file
  arrive("Bob");
  const PlayerRecord& bob = form->roster[1];
  EXPECT_EQ(bob.name, "Bob");
  EXPECT_EQ(bob.level, 1);
  EXPECT_EQ(bob.items, "scan,hppotion");
  EXPECT_EQ(bob.skills, "steal");
  EXPECT_EQ(bob.shroomType, "evil");
  EXPECT_EQ(bob.clanAcBonus, 3);
  EXPECT_TRUE(bob.pvpEnabled);
}

}  // namespace
}  // namespace kelva::testing
