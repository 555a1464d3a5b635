#include "world/store/data_dir_lock.h"

#include <filesystem>

namespace kelva::world {

Result<FileLock> DataDirLock::take(const std::string& dataDir, Mode mode) {
  const std::string path = (std::filesystem::path(dataDir) / "world.lock").string();
  const bool alone = mode == Mode::kAlone;
  return FileLock::take(path, alone ? FileLock::Mode::kExclusive : FileLock::Mode::kShared, 0600,
                        {alone ? "a world is running on " + dataDir + "; stop it first"
                               : "another command is changing " + dataDir + "; try again",
                         "cannot lock " + path + ": "});
}

}  // namespace kelva::world
