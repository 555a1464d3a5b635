#include "console/web/console_sessions.h"

#include <gtest/gtest.h>

namespace kelva::console::web {
namespace {

using namespace std::chrono_literals;
using Clock = ConsoleSessions::Clock;

TEST(ConsoleSessions, ASessionLastsUntilItIdlesPastItsLimit) {
  ConsoleSessions sessions(60min);
  const Clock::time_point t0{};
  const auto opened = sessions.open(t0);
  EXPECT_EQ(opened.token.size(), 64u);
  EXPECT_NE(opened.token, opened.formKey);
  EXPECT_EQ(sessions.use(opened.token, t0 + 60min), opened.formKey);  // exactly at the limit: still open
  EXPECT_EQ(sessions.use(opened.token, t0 + 120min), opened.formKey);  // each use starts the limit again
  EXPECT_EQ(sessions.use(opened.token, t0 + 180min + 1s), std::nullopt);
  EXPECT_EQ(sessions.size(), 0u);
  EXPECT_EQ(sessions.use("", t0), std::nullopt);
}

TEST(ConsoleSessions, TheLeastRecentlyUsedMakesRoomAndLogOutEndsOne) {
  ConsoleSessions sessions(60min, 2);
  const Clock::time_point t0{};
  const auto a = sessions.open(t0);
  const auto b = sessions.open(t0 + 1s);
  sessions.use(a.token, t0 + 2s);
  const auto c = sessions.open(t0 + 3s);  // the table is full: b, the least recently used, goes
  EXPECT_TRUE(sessions.use(a.token, t0 + 4s));
  EXPECT_FALSE(sessions.use(b.token, t0 + 4s));
  EXPECT_TRUE(sessions.use(c.token, t0 + 4s));
  sessions.close(c.token);
  EXPECT_FALSE(sessions.use(c.token, t0 + 5s));
}

TEST(ConsoleSessions, TheCookieIsFoundAmongOthers) {
  EXPECT_EQ(cookieValue("a=1; kelva_console=abc; b=2", "kelva_console"), "abc");
  EXPECT_EQ(cookieValue("kelva_console=abc", "kelva_console"), "abc");
  EXPECT_EQ(cookieValue("xkelva_console=abc; kelva_consolex=d", "kelva_console"), "");
  EXPECT_EQ(cookieValue("", "kelva_console"), "");
}

}  // namespace
}  // namespace kelva::console::web
