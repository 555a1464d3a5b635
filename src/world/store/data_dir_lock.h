// Who uses a world's data folder. A running world holds a shared lock on
// the folder's world.lock for as long as it runs; a command that must not
// run beside a world (reset-objects) asks for the lock alone and is told
// when a world holds it.
#pragma once

#include <string>

#include "data/file_lock.h"

namespace kelva::world {

struct DataDirLock {
  enum class Mode { kWorldRuns, kAlone };
  // Takes the lock of `dataDir`. kAlone fails when a world holds the folder;
  // kWorldRuns fails only when the file cannot be made.
  static Result<FileLock> take(const std::string& dataDir, Mode mode);
};

}  // namespace kelva::world
