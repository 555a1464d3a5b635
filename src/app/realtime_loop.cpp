#include "app/realtime_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>

namespace kelva::app {

TimerSchedule::Id TimerSchedule::add(std::chrono::milliseconds interval, std::function<void()> tick) {
  timers_.push_back(Timer{interval, std::move(tick)});
  return timers_.size() - 1;
}

void TimerSchedule::start(Id id, LoopTime now) {
  Timer& t = timers_.at(id);
  t.active = true;
  t.due = now + t.interval;
}

void TimerSchedule::stop(Id id) { timers_.at(id).active = false; }

bool TimerSchedule::active(Id id) const { return timers_.at(id).active; }

void TimerSchedule::runDue(LoopTime now) {
  std::vector<Id> due;
  for (Id id = 0; id < timers_.size(); ++id) {
    if (timers_[id].active && timers_[id].due <= now) due.push_back(id);
  }
  std::stable_sort(due.begin(), due.end(), [&](Id a, Id b) { return timers_[a].due < timers_[b].due; });
  for (Id id : due) {
    Timer& t = timers_[id];
    // An earlier handler of this round may have stopped or restarted it.
    if (!t.active || t.due > now) continue;
    // The next tick is one interval on; ticks missed while the thread was
    // busy are dropped, as a window's timer drops them.
    t.due += t.interval;
    if (t.due <= now) t.due = now + t.interval;
    // Copied: the handler may add timers, which moves the table.
    auto tick = t.tick;
    tick();
  }
}

std::optional<LoopTime> TimerSchedule::nextDue() const {
  std::optional<LoopTime> next;
  for (const Timer& t : timers_) {
    if (t.active && (!next || t.due < *next)) next = t.due;
  }
  return next;
}

void RealtimeLoop::watch(int fd, std::function<void()> onReadable) {
  for (Watch& w : watches_) {
    if (w.fd == fd) {
      w.onReadable = std::move(onReadable);
      return;
    }
  }
  watches_.push_back(Watch{fd, std::move(onReadable)});
}

void RealtimeLoop::unwatch(int fd) {
  std::erase_if(watches_, [fd](const Watch& w) { return w.fd == fd; });
}

void RealtimeLoop::runUntil(const std::function<bool()>& done) {
  while (!done()) {
    int timeoutMs = -1;
    if (const auto next = timers_.nextDue()) {
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - LoopClock::now()).count();
      timeoutMs = static_cast<int>(std::clamp<decltype(wait)>(wait, 0, INT_MAX));
    }
    std::vector<pollfd> fds;
    for (const Watch& w : watches_) fds.push_back(pollfd{w.fd, POLLIN, 0});
    const int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0 && errno != EINTR) {
      std::cerr << "kelvabot: poll failed: " << std::strerror(errno) << "\n";
      return;
    }
    timers_.runDue(LoopClock::now());
    if (done()) return;
    if (n <= 0) continue;
    for (const pollfd& p : fds) {
      if ((p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) continue;
      // Looked up again: an earlier handler may have unwatched it.
      const auto it = std::find_if(watches_.begin(), watches_.end(), [&](const Watch& w) { return w.fd == p.fd; });
      if (it == watches_.end()) continue;
      auto handler = it->onReadable;
      handler();
      if (done()) return;
    }
  }
}

}  // namespace kelva::app
