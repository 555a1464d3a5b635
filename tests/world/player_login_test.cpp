#include "world/core/player_login.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

using Step = PlayerLogin::Step;
using std::chrono::milliseconds;

class PlayerLoginTest : public ::testing::Test {
 protected:
  static WorldDefinition definition() {
    WorldDefinition def;
    def.name = "Testworld";
    def.players.push_back({"Ann", "annpw"});
    return def;
  }
  // Name, then password, from `address` at `now`.
  PlayerLogin::Outcome tryPassword(PlayerLogin& login, const std::string& password) {
    EXPECT_EQ(login.offer(core, "Ann", now).step, Step::kPasswordAsked);
    return login.offer(core, password, now);
  }

  WorldCore core{definition()};
  LoginThrottle throttle;
  LoginThrottle::TimePoint now = std::chrono::steady_clock::now();
};

TEST_F(PlayerLoginTest, TheThirdWrongPasswordOnAConnectionEndsIt) {
  PlayerLogin login(throttle, "10.0.0.1");
  EXPECT_EQ(tryPassword(login, "one").step, Step::kWrongPassword);
  EXPECT_EQ(tryPassword(login, "two").step, Step::kWrongPassword);
  EXPECT_EQ(tryPassword(login, "three").step, Step::kTooManyWrong);
}

// Guessers from many addresses throttle the name; its owner, from a clean
// address, waits the name's turn once, and the right password ends the
// name's throttle for everyone who comes after.
TEST_F(PlayerLoginTest, TheRightPasswordClearsTheNamesThrottle) {
  for (int i = 0; i < 6; ++i) {
    PlayerLogin guesser(throttle, "10.0.1." + std::to_string(i));
    ASSERT_EQ(tryPassword(guesser, "guess").step, Step::kWrongPassword) << i;
  }
  PlayerLogin owner(throttle, "10.0.2.1");
  PlayerLogin::Outcome held = tryPassword(owner, "annpw");
  ASSERT_EQ(held.step, Step::kCheckLater);
  EXPECT_GT(held.wait, milliseconds(0));
  now += held.wait;
  EXPECT_EQ(owner.checkHeld(core, now).step, Step::kRegistered);

  PlayerLogin later(throttle, "10.0.2.2");
  EXPECT_EQ(tryPassword(later, "annpw").step, Step::kRegistered);
}

}  // namespace
}  // namespace kelva::world
