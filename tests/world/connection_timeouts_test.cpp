#include "world/guards/connection_timeouts.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

using Due = ConnectionTimeouts::Due;
using std::chrono::minutes;
using std::chrono::seconds;

const ConnectionTimeouts::TimePoint kStart = ConnectionTimeouts::TimePoint() + std::chrono::hours(5);

TEST(ConnectionTimeouts, ALogInThatTakesTooLongIsDueAndALoggedInConnectionIsNot) {
  ConnectionTimeouts late({seconds(10), minutes(0)}, kStart);
  EXPECT_EQ(late.next(), kStart + seconds(10));
  EXPECT_EQ(late.check(kStart + seconds(9)), Due::kNothing);
  EXPECT_EQ(late.check(kStart + seconds(10)), Due::kLogInTooLate);

  ConnectionTimeouts inTime({seconds(10), minutes(0)}, kStart);
  inTime.loggedIn(kStart + seconds(9));
  EXPECT_EQ(inTime.check(kStart + std::chrono::hours(3)), Due::kNothing);
  EXPECT_EQ(inTime.next(), std::nullopt);  // no idle limit: nothing to wait for
}

TEST(ConnectionTimeouts, AnIdlePlayerIsWarnedOnceThenDroppedAndEveryLineStartsTheTimeAgain) {
  ConnectionTimeouts t({seconds(0), minutes(30), minutes(1)}, kStart);
  EXPECT_EQ(t.check(kStart + std::chrono::hours(2)), Due::kNothing);  // no log-in deadline
  t.loggedIn(kStart);
  EXPECT_EQ(t.next(), kStart + minutes(29));
  EXPECT_EQ(t.check(kStart + minutes(28)), Due::kNothing);
  EXPECT_EQ(t.check(kStart + minutes(29)), Due::kIdleWarning);
  EXPECT_EQ(t.check(kStart + minutes(29) + seconds(30)), Due::kNothing);  // warned once
  EXPECT_EQ(t.next(), kStart + minutes(30));

  t.activity(kStart + minutes(29) + seconds(59));
  EXPECT_EQ(t.check(kStart + minutes(31)), Due::kNothing);
  EXPECT_EQ(t.check(kStart + minutes(58) + seconds(59)), Due::kIdleWarning);  // a new quiet spell, a new warning
  EXPECT_EQ(t.check(kStart + minutes(59) + seconds(59)), Due::kIdleTooLong);
}

TEST(ConnectionTimeouts, AWarningLongerThanTheIdleTimeComesAtOnce) {
  ConnectionTimeouts t({seconds(0), seconds(20), minutes(1)}, kStart);
  t.loggedIn(kStart);
  EXPECT_EQ(t.check(kStart), Due::kIdleWarning);
  EXPECT_EQ(t.check(kStart + seconds(20)), Due::kIdleTooLong);
}

}  // namespace
}  // namespace kelva::world
