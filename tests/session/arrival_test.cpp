#include "session/arrival.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

class ArrivalTest : public ::testing::Test, public GameFixture {
 protected:
  void arrive(const std::string& name) {
    world.AvatarName = name;
    router->onAvatarAdd();
  }
};

TEST_F(ArrivalTest, ANameTheStatsFileCannotHoldOrAFullRosterCreatesNothing) {
  ::testing::internal::CaptureStderr();
  arrive("Ann\nLee");
  arrive("Ann\rLee");
  form->playerCount = kRosterSize;
  arrive("Zed");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(form->playerCount, kRosterSize);
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(statsFile(), "");
  EXPECT_NE(err.find("full"), std::string::npos) << err;
  // Blanks and "!" are safe in a name.
  form->playerCount = 0;
  arrive("Ann Lee!");
  EXPECT_EQ(form->playerCount, 1);
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
