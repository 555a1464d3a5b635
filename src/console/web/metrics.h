// The figures an operator's monitoring scrapes from /metrics, and the last
// hour of them for the console's charts.
//
// The program counts what happened as it happens, on the game's thread:
// commands, the time from a command to the bot's first answer, saves and
// their duration, refused console log-ins, open console connections, written
// in the text format of data/prometheus_text.h.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "data/prometheus_text.h"

namespace kelva::console::web {

// A histogram of durations in seconds with fixed bucket bounds.
class Histogram {
 public:
  explicit Histogram(std::vector<double> bounds);
  void observe(double seconds);
  // The `quantile` (0 to 1) of what was observed, read from the buckets: the
  // upper bound of the bucket that holds it; 0 with nothing observed.
  double quantile(double q) const;
  // The samples of the histogram `name` (its family already started).
  void write(PrometheusText& out, const std::string& name) const;
  uint64_t count() const { return count_; }
  double sum() const { return sum_; }

 private:
  std::vector<double> bounds_;
  std::vector<uint64_t> counts_;  // per bucket, not cumulative; the last is +Inf
  uint64_t count_ = 0;
  double sum_ = 0;
};

// One minute of the charts.
struct MinuteFigures {
  int64_t minute = 0;  // minutes since the epoch
  uint64_t commands = 0;
  double replyMedian = 0;  // seconds
  double replyP99 = 0;
  uint64_t saves = 0;
  double saveSeconds = 0;  // their total duration
  uint64_t playersOnline = 0;  // the most at once in the minute
};

class GameMetrics {
 public:
  using Clock = std::chrono::system_clock;

  GameMetrics();

  void commandReceived(Clock::time_point now = Clock::now());
  void replied(double seconds);
  void saved(double seconds, bool ok, Clock::time_point now = Clock::now());
  // The players in the world now, each time an avatar arrives or leaves.
  void playersOnline(uint64_t count, Clock::time_point now = Clock::now());
  uint64_t playersOnline() const { return playersOnline_; }
  void loginRefused(const std::string& reason) { ++loginsRefused_[reason]; }
  void connectionOpened(const std::string& kind) { ++connections_[kind]; }
  void connectionClosed(const std::string& kind) { --connections_[kind]; }
  int64_t connections(const std::string& kind) const {
    const auto it = connections_.find(kind);
    return it == connections_.end() ? 0 : it->second;
  }

  // Everything in the text format.
  std::string exposition() const;
  // The last hour, one entry per minute that saw anything, oldest first.
  std::vector<MinuteFigures> lastHour(Clock::time_point now = Clock::now()) const;

  uint64_t commands() const { return commands_; }
  uint64_t saves() const { return saves_; }
  uint64_t saveFailures() const { return saveFailures_; }

 private:
  MinuteFigures& minuteOf(Clock::time_point now);

  uint64_t commands_ = 0;
  uint64_t saves_ = 0;
  uint64_t saveFailures_ = 0;
  uint64_t playersOnline_ = 0;
  Histogram reply_;
  Histogram save_;
  std::map<std::string, uint64_t> loginsRefused_;
  std::map<std::string, int64_t> connections_;
  // The current minute's reply times, for its median and p99.
  Histogram minuteReply_;
  std::deque<MinuteFigures> minutes_;
};

}  // namespace kelva::console::web
