#include "world/core/player_login.h"

#include <gtest/gtest.h>

#include "world/core/world_accounts.h"

namespace kelva::world {
namespace {

using Step = PlayerLogin::Step;
using std::chrono::milliseconds;

class PlayerLoginTest : public ::testing::Test {
 protected:
  static WorldDefinition definition() {
    WorldDefinition def;
    def.name = "Testworld";
    def.players.push_back({"Ann", "annpw", ""});
    return def;
  }
  void SetUp() override {
    auto opened = AccountStore::open(":memory:");
    ASSERT_TRUE(opened.isOk());
    store = std::move(opened.value());
    ASSERT_TRUE(importPlayers(*store, core.definition().players, auth::HashCost::kMinimum, [](auto&) {}).isOk());
    core.useAccounts(*store);
  }
  // A password handed out for its check, checked as the port's workers do.
  PlayerLogin::Outcome checked(PlayerLogin& login, PlayerLogin::Outcome o) {
    if (o.step != Step::kVerify) return o;
    EXPECT_EQ(o.name, "Ann");
    return login.verified(core, auth::verifyPassword(o.storedHash, o.password), now);
  }
  // Name, then password, from `address` at `now`.
  PlayerLogin::Outcome tryPassword(PlayerLogin& login, const std::string& password) {
    EXPECT_EQ(login.offer(core, "Ann", now).step, Step::kPasswordAsked);
    return checked(login, login.offer(core, password, now));
  }

  WorldCore core{definition()};
  std::unique_ptr<AccountStore> store;
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
  EXPECT_EQ(checked(owner, owner.checkHeld(core, now)).step, Step::kRegistered);

  PlayerLogin later(throttle, "10.0.2.2");
  EXPECT_EQ(tryPassword(later, "annpw").step, Step::kRegistered);
}

}  // namespace
}  // namespace kelva::world
