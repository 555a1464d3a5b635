// Who uses a world's data folder. A running world holds a shared lock on
// the folder's world.lock for as long as it runs; a command that must not
// run beside a world (reset-objects) asks for the lock alone and is told
// when a world holds it. The kernel drops the lock when the world's process
// ends, however it ends, so a crash leaves nothing stale behind.
#pragma once

#include <string>

#include "data/result.h"

namespace kelva::world {

class DataDirLock {
 public:
  enum class Mode { kWorldRuns, kAlone };
  // Takes the lock of `dataDir` (made when missing). kAlone fails when a
  // world holds the folder; kWorldRuns fails only when the file cannot be made.
  static Result<DataDirLock> take(const std::string& dataDir, Mode mode);
  DataDirLock(DataDirLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  DataDirLock& operator=(DataDirLock&& other) noexcept;
  DataDirLock(const DataDirLock&) = delete;
  DataDirLock& operator=(const DataDirLock&) = delete;
  ~DataDirLock();

 private:
  explicit DataDirLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kelva::world
