#include "app/realtime_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kelva::app {
namespace {

using namespace std::chrono_literals;

class TimerScheduleTest : public ::testing::Test {
 protected:
  TimerSchedule schedule;
  std::vector<std::string> ticks;
  LoopTime t0 = LoopTime{} + 1h;

  TimerSchedule::Id add(std::chrono::milliseconds interval, const std::string& name) {
    return schedule.add(interval, [this, name] { ticks.push_back(name); });
  }
};

TEST_F(TimerScheduleTest, TimersTickEveryIntervalInOrderOfDueTime) {
  const auto battle = add(500ms, "Timer1");
  const auto slow = add(1000ms, "Timer2");
  const auto pump = add(250ms, "timawwait");
  schedule.start(slow, t0);
  schedule.start(battle, t0);
  EXPECT_FALSE(schedule.active(pump));
  EXPECT_EQ(schedule.nextDue(), t0 + 500ms);

  schedule.runDue(t0 + 499ms);
  EXPECT_TRUE(ticks.empty());
  schedule.runDue(t0 + 500ms);
  EXPECT_EQ(ticks, (std::vector<std::string>{"Timer1"}));

  schedule.start(pump, t0 + 900ms);  // the pump starts at login, later
  ticks.clear();
  schedule.runDue(t0 + 1000ms);
  EXPECT_EQ(ticks, (std::vector<std::string>{"Timer1", "Timer2"}));
  ticks.clear();
  schedule.runDue(t0 + 1000ms);  // nothing is due twice
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(schedule.nextDue(), t0 + 1150ms);
  schedule.runDue(t0 + 1150ms);
  EXPECT_EQ(ticks, (std::vector<std::string>{"timawwait"}));
}

TEST_F(TimerScheduleTest, ABusyThreadSkipsMissedTicksInsteadOfBursting) {
  const auto battle = add(500ms, "Timer1");
  schedule.start(battle, t0);
  schedule.runDue(t0 + 2600ms);  // five ticks were missed
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(schedule.nextDue(), t0 + 3100ms);
}

TEST_F(TimerScheduleTest, AHandlerCanStopATimerDueInTheSameRound) {
  TimerSchedule::Id second = 0;
  const auto first = schedule.add(100ms, [&] {
    ticks.push_back("first");
    schedule.stop(second);
  });
  second = add(100ms, "second");
  schedule.start(first, t0);
  schedule.start(second, t0);
  schedule.runDue(t0 + 100ms);
  EXPECT_EQ(ticks, (std::vector<std::string>{"first"}));
  schedule.stop(first);
  EXPECT_EQ(schedule.nextDue(), std::nullopt);
}

TEST(RealtimeLoop, ServesTimersAndReadableDescriptorsUntilDone) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  RealtimeLoop loop;
  int ticks = 0;
  std::string read;
  const auto timer = loop.timers().add(5ms, [&] {
    if (++ticks == 2) {
      ASSERT_EQ(::write(fds[1], "x", 1), 1);
    }
  });
  loop.watch(fds[0], [&] {
    char c;
    ASSERT_EQ(::read(fds[0], &c, 1), 1);
    read += c;
  });
  loop.startTimer(timer);
  const auto started = LoopClock::now();
  loop.runUntil([&] { return !read.empty(); });
  EXPECT_EQ(read, "x");
  EXPECT_GE(ticks, 2);
  EXPECT_GE(LoopClock::now() - started, 10ms);

  // An unwatched descriptor is no longer served.
  loop.unwatch(fds[0]);
  ASSERT_EQ(::write(fds[1], "y", 1), 1);
  const int before = ticks;
  loop.runUntil([&] { return ticks >= before + 2; });
  EXPECT_EQ(read, "x");
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace kelva::app
