#include "app/data_folder_lock.h"

#include "data/file_system.h"

namespace kelva::app {

Result<FileLock> DataFolderLock::acquire(const std::string& folder) {
  const std::string path = dataPath(folder, kLockFileName);
  return FileLock::take(path, FileLock::Mode::kExclusive, 0644,
                        {"another kelvabot is running on the data folder " + folder + " (it holds " + path +
                             "); stop it first, or give this one its own --data-dir",
                         "cannot use the data folder " + folder + ": "});
}

}  // namespace kelva::app
