#include "world/guards/sign_up_throttle.h"

#include <gtest/gtest.h>

#include "world/core/sign_up.h"

namespace kelva::world {
namespace {

using std::chrono::minutes;

TEST(SignUpThrottle, AnAddressAndTheWorldEachHaveTheirAllowancePerWindow) {
  SignUpThrottle throttle(3, 5, std::chrono::hours(1));
  auto t = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(throttle.admit("10.0.0.1", t + minutes(i))) << i;
  EXPECT_FALSE(throttle.admit("10.0.0.1", t + minutes(10)));
  EXPECT_TRUE(throttle.admit("10.0.0.2", t + minutes(10)));
  EXPECT_TRUE(throttle.admit("10.0.0.3", t + minutes(10)));
  // The world's fifth was the last of the hour, whoever asks.
  EXPECT_FALSE(throttle.admit("10.0.0.4", t + minutes(11)));
  // An hour after the first, one place is free again, and only one.
  EXPECT_FALSE(throttle.admit("10.0.0.1", t + minutes(59)));
  EXPECT_TRUE(throttle.admit("10.0.0.1", t + minutes(60)));
  EXPECT_FALSE(throttle.admit("10.0.0.4", t + minutes(60)));
}

TEST(SignUpRules, AWorldWithoutSignUpOrWithoutAStoreTakesNoAccounts) {
  WorldDefinition def;
  def.name = "W";
  WorldCore core(def);
  EXPECT_NE(signUpProblem(core, "Mira", "pw").find("no new accounts"), std::string::npos);
  auto store = AccountStore::open(":memory:");
  ASSERT_TRUE(store.isOk());
  core.useAccounts(*store.value());
  EXPECT_EQ(signUpProblem(core, "Mira", "pw"), "");
  EXPECT_NE(signUpProblem(core, " Mira", "pw"), "");
  def.signUp = false;
  WorldCore closed(def);
  closed.useAccounts(*store.value());
  EXPECT_NE(signUpProblem(closed, "Mira", "pw").find("no new accounts"), std::string::npos);
}

}  // namespace
}  // namespace kelva::world
