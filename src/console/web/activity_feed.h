// The activity log as the console page streams it: every event is passed on
// to the log on disk unchanged and also kept, numbered, among the last few
// hundred, so that a page can ask for the events after the last one it showed.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "data/activity_log.h"

namespace kelva::console::web {

struct FeedEvent {
  uint64_t number = 0;  // from 1, in the order recorded
  std::string time;     // UTC, "2026-12-06 14:03:18"
  std::string text;
};

class ActivityFeed : public ActivityLog {
 public:
  // `disk` must outlive the feed.
  explicit ActivityFeed(ActivityLog& disk, std::size_t kept = 500) : disk_(disk), kept_(kept) {}

  void record(std::string_view event) noexcept override;
  // The kept events numbered above `after`, oldest first. Events that fell
  // out of the window are gone; the numbers show the gap.
  std::vector<FeedEvent> after(uint64_t after) const;

 private:
  ActivityLog& disk_;
  std::size_t kept_;
  // Events may come from the world's thread too (a reconnection).
  mutable std::mutex mutex_;
  std::deque<FeedEvent> events_;
  uint64_t last_ = 0;
};

}  // namespace kelva::console::web
