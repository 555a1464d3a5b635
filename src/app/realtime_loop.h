// The bot's event loop when it runs in real time without a window: periodic
// timers and readable file descriptors, served one at a time on the one
// thread, by poll().
//
// Like a window's timers, a tick runs only when the loop is idle: a handler
// that takes long delays the others, and a timer that falls behind skips the
// ticks it missed rather than firing them in a burst.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace kelva::app {

using LoopClock = std::chrono::steady_clock;
using LoopTime = LoopClock::time_point;

// The periodic timers, with the time given by the caller so the schedule can
// be tested without waiting.
class TimerSchedule {
 public:
  using Id = std::size_t;

  // A stopped timer that calls `tick` every `interval` once started.
  Id add(std::chrono::milliseconds interval, std::function<void()> tick);
  // The first tick comes one interval after `now`.
  void start(Id id, LoopTime now);
  void stop(Id id);
  bool active(Id id) const;

  // Runs, in order of due time, each active timer that is due at `now`, once.
  // A handler may stop or start timers; a timer stopped by an earlier handler
  // of the same round does not run.
  void runDue(LoopTime now);
  // When the next tick is due; nullopt when no timer runs.
  std::optional<LoopTime> nextDue() const;

 private:
  struct Timer {
    std::chrono::milliseconds interval;
    std::function<void()> tick;
    bool active = false;
    LoopTime due{};
  };
  std::vector<Timer> timers_;
};

class RealtimeLoop {
 public:
  TimerSchedule& timers() { return timers_; }
  void startTimer(TimerSchedule::Id id) { timers_.start(id, LoopClock::now()); }

  // Calls `onReadable` whenever `fd` can be read (or has hung up) while the
  // loop runs. One handler per descriptor; watching it again replaces it.
  void watch(int fd, std::function<void()> onReadable);
  void unwatch(int fd);

  // Serves timers and descriptors until `done()` holds; it is checked before
  // each wait and after every handler. May be called from inside a handler
  // (a prompt waiting for its answer); the inner call serves everything too.
  void runUntil(const std::function<bool()>& done);

 private:
  struct Watch {
    int fd;
    std::function<void()> onReadable;
  };
  TimerSchedule timers_;
  std::vector<Watch> watches_;
};

}  // namespace kelva::app
