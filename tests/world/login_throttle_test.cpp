#include "world/guards/login_throttle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelva::world {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Verdict = LoginThrottle::Verdict;
using Because = LoginThrottle::Because;

class LoginThrottleTest : public ::testing::Test {
 protected:
  LoginThrottle::TimePoint now = LoginThrottle::TimePoint() + std::chrono::hours(1);
  std::vector<std::string> logged;
  LoginThrottle throttle{ThrottleOptions{}, [this](const std::string& line) { logged.push_back(line); }};

  // Tries a wrong password whenever the throttle lets it, as a guesser would,
  // for `span` in steps of `step`; returns the guesses that were checked.
  int guessFor(const std::string& address, const std::string& name, milliseconds span,
               milliseconds step = milliseconds(100)) {
    int checked = 0;
    for (auto end = now + span; now < end; now += step) {
      if (throttle.admit(address, name, now).verdict != Verdict::kCheckNow) continue;
      throttle.failed(address, name, now);
      ++checked;
    }
    return checked;
  }
};

TEST_F(LoginThrottleTest, OneAddressGetsAFewFreeGuessesThenWaitsTwiceAsLongEachTimeUpToTheCap) {
  // Six guesses are checked at once; the sixth failure brings a second's wait.
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(throttle.admit("10.0.0.1", "Kaya", now).verdict, Verdict::kCheckNow) << i;
    throttle.failed("10.0.0.1", "Kaya", now);
  }
  LoginThrottle::Decision d = throttle.admit("10.0.0.1", "Kaya", now);
  EXPECT_EQ(d.verdict, Verdict::kRefused);
  EXPECT_EQ(d.because, Because::kAddress);
  EXPECT_EQ(d.wait, seconds(1));
  // The same address is refused on any name: it is the address that guesses.
  EXPECT_EQ(throttle.admit("10.0.0.1", "Rolf", now).verdict, Verdict::kRefused);

  now += seconds(1);
  throttle.failed("10.0.0.1", "Rolf", now);
  EXPECT_EQ(throttle.admit("10.0.0.1", "Rolf", now).wait, seconds(2));
  // An hour of guessing at the cap: about four guesses, and never more than
  // ten in any minute after the first few.
  int lastHour = guessFor("10.0.0.1", "Rolf", std::chrono::hours(2));
  int hourAfter = guessFor("10.0.0.1", "Rolf", std::chrono::hours(1));
  EXPECT_LE(lastHour, 8 + 10);
  EXPECT_GE(hourAfter, 3);
  EXPECT_LE(hourAfter, 5);
  EXPECT_EQ(throttle.admit("10.0.0.1", "Rolf", now).verdict, Verdict::kRefused);
}

TEST_F(LoginThrottleTest, GuessingFromManyAddressesIsSlowedByTheNameButItsOwnerGetsInWithinTheNameCap) {
  int checked = 0;
  for (auto end = now + std::chrono::minutes(10); now < end; now += milliseconds(50)) {
    for (int a = 1; a <= 50; ++a) {
      std::string address = "127.0.0." + std::to_string(a);
      if (throttle.admit(address, "Kaya", now).verdict != Verdict::kCheckNow) continue;
      throttle.failed(address, "Kaya", now);
      ++checked;
    }
  }
  // About one guess per capped wait (8 s) on the name after the first few.
  EXPECT_LE(checked, 10 + 600 / 8 + 2);

  // The owner, from an address that never failed, is not refused: the check
  // waits for the name's turn, never longer than its cap.
  LoginThrottle::Decision owner = throttle.admit("192.168.1.9", "Kaya", now);
  ASSERT_NE(owner.verdict, Verdict::kRefused);
  EXPECT_LE(owner.wait, ThrottleOptions{}.nameWaitCap);
  // The right password ends the name's throttle (the log-in test pins that);
  // the guessers stay throttled.
  now += owner.wait;
  throttle.succeeded("192.168.1.9", "Kaya", now);
  EXPECT_EQ(throttle.admit("127.0.0.1", "Kaya", now).verdict, Verdict::kRefused);
}

TEST_F(LoginThrottleTest, EachThrottleIsLoggedOnceWhenItBeginsAndOnceWhenItEnds) {
  guessFor("10.0.0.1", "Kaya", std::chrono::minutes(5), milliseconds(10));
  // One line for the address, one for the name, however many were refused.
  ASSERT_EQ(logged.size(), 2u) << ::testing::PrintToString(logged);
  EXPECT_NE(logged[0].find("from 10.0.0.1 are throttled after 6 wrong passwords"), std::string::npos) << logged[0];
  EXPECT_NE(logged[1].find("as Kaya are throttled"), std::string::npos) << logged[1];

  // Quiet long enough, both are forgotten with their counts, and the address
  // starts afresh with its free guesses.
  now += std::chrono::hours(1);
  throttle.sweep(now);
  ASSERT_EQ(logged.size(), 4u);
  EXPECT_NE(logged[2].find("no longer throttled"), std::string::npos) << logged[2];
  EXPECT_NE(logged[2].find("attempts refused while waiting"), std::string::npos) << logged[2];
  EXPECT_EQ(throttle.addressesRemembered(), 0u);
  EXPECT_EQ(throttle.namesRemembered(), 0u);
  EXPECT_EQ(guessFor("10.0.0.1", "Kaya", milliseconds(1000)), 6);
}

TEST_F(LoginThrottleTest, TablesStayBoundedWhateverNumberOfAddressesGuesses) {
  ThrottleOptions options;
  options.maxRecords = 100;
  LoginThrottle small(options);
  for (int i = 0; i < 1000; ++i) small.failed("10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                                               "name" + std::to_string(i), now);
  EXPECT_LE(small.addressesRemembered(), 100u);
  EXPECT_LE(small.namesRemembered(), 100u);
}

TEST(SameSecret, MatchesOnlyTheWholeSecret) {
  EXPECT_TRUE(sameSecret("kaya", "kaya"));
  EXPECT_TRUE(sameSecret("", ""));
  EXPECT_FALSE(sameSecret("kay", "kaya"));
  EXPECT_FALSE(sameSecret("kayaa", "kaya"));
  EXPECT_FALSE(sameSecret("Kaya", "kaya"));
  EXPECT_FALSE(sameSecret("", "kaya"));
  EXPECT_FALSE(sameSecret("kaya", ""));
  // A typed text that matches the secret and then runs on with zero bytes.
  EXPECT_FALSE(sameSecret(std::string("kaya\0", 5), "kaya"));
}

TEST(SourceKey, GroupsAnIpv6HostByItsNetworkAndUnwrapsMappedIpv4) {
  EXPECT_EQ(sourceKey("127.0.0.7"), "127.0.0.7");
  EXPECT_EQ(sourceKey("::ffff:10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(sourceKey("2001:db8:1:2:aaaa::1"), sourceKey("2001:db8:1:2:bbbb::9"));
  EXPECT_NE(sourceKey("2001:db8:1:2::1"), sourceKey("2001:db8:1:3::1"));
  EXPECT_EQ(sourceKey("?"), "?");
}

}  // namespace
}  // namespace kelva::world
