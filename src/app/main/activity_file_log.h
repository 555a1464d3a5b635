// The activity log on disk: activity.log in the data folder, one
// timestamped line per event, rotated by size with a few old files kept
// (activity.1.log, activity.2.log, ...), so a bot that runs for months never
// fills the disk.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "data/activity_log.h"
#include "data/result.h"

namespace spdlog {
class logger;
}

namespace kelva::app {

inline constexpr const char* kActivityLogFileName = "activity.log";

class ActivityFileLog : public ActivityLog {
 public:
  // Opens (or continues) the log in `dataDir`: each file up to `maxBytes`,
  // `keptFiles` older ones kept. Fails when the file cannot be opened.
  static Result<std::unique_ptr<ActivityFileLog>> open(const std::string& dataDir, std::size_t maxBytes = 1024 * 1024,
                                                       std::size_t keptFiles = 5);
  ~ActivityFileLog() override;

  // Written through at once, so the operator's `tail -f` shows each event
  // as it happens and a crash loses none.
  void record(std::string_view event) noexcept override;

 private:
  explicit ActivityFileLog(std::shared_ptr<spdlog::logger> logger) : logger_(std::move(logger)) {}
  std::shared_ptr<spdlog::logger> logger_;
};

}  // namespace kelva::app
