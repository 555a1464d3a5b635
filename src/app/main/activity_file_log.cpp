#include "app/main/activity_file_log.h"

#include <fcntl.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "data/file_system.h"

namespace kelva::app {

Result<std::unique_ptr<ActivityFileLog>> ActivityFileLog::open(const std::string& dataDir, std::size_t maxBytes,
                                                               std::size_t keptFiles) {
  // The log holds owners' private messages: it keeps the mode the operator
  // gave it, also in the fresh file each rotation starts; a new log is the
  // owner's alone. The file is made with that mode before spdlog opens it,
  // so it is never readable by others, not even for a moment.
  auto mode = std::make_shared<mode_t>(kNewFileMode);
  spdlog::file_event_handlers keepMode;
  keepMode.before_open = [mode](const spdlog::filename_t& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
      *mode = info.st_mode & 07777;
      return;
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, *mode);
    if (fd >= 0) ::close(fd);
  };
  keepMode.after_open = [mode](const spdlog::filename_t&, std::FILE* stream) {
    (void)::fchmod(::fileno(stream), *mode);
  };
  try {
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(dataPath(dataDir, kActivityLogFileName),
                                                                       maxBytes, keptFiles, false, keepMode);
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
