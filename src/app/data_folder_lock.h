// The claim of one bot on its data folder.
//
// Two bots saving into the same folder would overwrite each other's saves,
// each from its own roster, and players would lose progress at random. So a
// bot that runs in real time holds an exclusive lock on a file in its data
// folder for as long as it runs, and the operator's roster tool takes the
// same lock before it rewrites the stats file. The lock is the kernel's
// (flock): it goes away with the process, even after a crash or SIGKILL, so
// a stale lock file never blocks the next start.
#pragma once

#include <string>

#include "data/result.h"

namespace kelva::app {

// The lock file's name in the data folder.
inline constexpr const char* kLockFileName = "kelvabot.lock";

class DataFolderLock {
 public:
  // Takes the lock on `folder` without waiting. Fails with a message the
  // operator can act on when another process holds it, or when the folder
  // does not exist or cannot be written.
  static Result<DataFolderLock> acquire(const std::string& folder);

  DataFolderLock(DataFolderLock&& other) noexcept;
  DataFolderLock& operator=(DataFolderLock&& other) noexcept;
  DataFolderLock(const DataFolderLock&) = delete;
  DataFolderLock& operator=(const DataFolderLock&) = delete;
  // Releases the lock; the file stays (removing it could race a new holder).
  ~DataFolderLock();

 private:
  explicit DataFolderLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kelva::app
