#include "app/main/activity_file_log.h"

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include "data/file_system.h"

namespace kelva::app {

Result<std::unique_ptr<ActivityFileLog>> ActivityFileLog::open(const std::string& dataDir, std::size_t maxBytes,
                                                               std::size_t keptFiles) {
  try {
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(dataPath(dataDir, kActivityLogFileName),
                                                                       maxBytes, keptFiles);
    // Not registered with spdlog's global registry: the log belongs to this object alone.
    auto logger = std::make_shared<spdlog::logger>("activity", std::move(sink));
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v");
    logger->set_level(spdlog::level::info);
    logger->flush_on(spdlog::level::info);
    return std::unique_ptr<ActivityFileLog>(new ActivityFileLog(std::move(logger)));
  } catch (const spdlog::spdlog_ex& e) {
    return Status::error(std::string("cannot open the activity log: ") + e.what());
  }
}

ActivityFileLog::~ActivityFileLog() = default;

void ActivityFileLog::record(std::string_view event) noexcept {
  try {
    logger_->info("{}", event);
  } catch (...) {
    // A full disk must not stop the game; spdlog reports its own errors on stderr.
  }
}

}  // namespace kelva::app
