// The claim of one bot on its data folder.
//
// Two bots saving into the same folder would overwrite each other's saves,
// each from its own roster, and players would lose progress at random. So a
// bot that runs in real time holds an exclusive lock on a file in its data
// folder for as long as it runs, and the operator's roster tool takes the
// same lock before it rewrites the stats file.
#pragma once

#include <string>

#include "data/file_lock.h"

namespace kelva::app {

// The lock file's name in the data folder.
inline constexpr const char* kLockFileName = "kelvabot.lock";

struct DataFolderLock {
  // Takes the lock on `folder` without waiting. Fails with a message the
  // operator can act on when another process holds it, or when the folder
  // does not exist or cannot be written.
  static Result<FileLock> acquire(const std::string& folder);
};

}  // namespace kelva::app
