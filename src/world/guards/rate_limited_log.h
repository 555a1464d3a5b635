// A log that says what happened once, with a count when it repeats.
//
// Every line is written under a key that names the kind of event ("accept
// failed on the player port", "refused: too many connections from 1.2.3.4").
// The first line of a key is written at once; further lines of the same key
// within the interval are only counted, and the count is written with the
// next line of that key once the interval has passed (or with the latest of
// them, at `flush`): "... (1000 times in the last 1000 ms)". So a flood of failed accepts or refused connections costs
// one line a second, never one line per event. Time is passed in by the
// caller, so tests need no sleeping.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kelva::world {

class RateLimitedLog {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Sink = std::function<void(const std::string&)>;

  explicit RateLimitedLog(Sink sink, std::chrono::milliseconds interval = std::chrono::seconds(1));

  // Writes `line` now, or counts it when a line of `key` was written less than
  // an interval ago.
  void write(std::string_view key, std::string line, TimePoint now);
  // Writes, for every key whose interval has passed, the lines it held back
  // with their count, and forgets keys that have been quiet for an interval.
  // Call it about once an interval so a burst's count is not left unsaid.
  void flush(TimePoint now);

  // Keys currently remembered (bounded by the keys seen in one interval).
  std::size_t keys() const { return entries_.size(); }

 private:
  struct Entry {
    TimePoint written;       // when a line of this key was last written
    uint64_t heldBack = 0;   // lines counted since then
    std::string latest;      // the latest of them
  };
  void report(Entry& entry, std::string line, uint64_t times, TimePoint now);

  Sink sink_;
  std::chrono::milliseconds interval_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace kelva::world
