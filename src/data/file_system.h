// The game's only way to the disk: read a whole data file, replace one whole.
//
// Every data file is replaced atomically: the new content goes to a temporary
// file in the same folder, is flushed to disk, and is renamed over the old
// file, and the folder itself is flushed. A crash at any moment leaves either
// the old or the new file whole. Tests use their own FileSystem to fail a
// write on purpose.
#pragma once

#include <optional>
#include <string>

#include "data/result.h"

namespace kelva {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's bytes; nullopt in the value when it does not exist; an error
  // Status when it exists but cannot be read.
  virtual Result<std::optional<std::string>> readFile(const std::string& path) = 0;
  // Replaces the file with `bytes` atomically; on failure the old file is
  // untouched and the Status says what failed.
  virtual Status replaceFile(const std::string& path, const std::string& bytes) = 0;
};

// The real disk, through POSIX calls.
class DiskFileSystem : public FileSystem {
 public:
  Result<std::optional<std::string>> readFile(const std::string& path) override;
  Status replaceFile(const std::string& path, const std::string& bytes) override;
};

// Joins the data folder and a file name.
std::string dataPath(const std::string& folder, const std::string& fileName);

}  // namespace kelva
