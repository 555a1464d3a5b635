// The game's only way to the disk: read a whole data file, replace one whole.
//
// Every data file is replaced atomically: the new content goes to a temporary
// file in the same folder, is flushed to disk, and is renamed over the old
// file, and the folder itself is flushed. A crash at any moment leaves either
// the old or the new file whole. Tests use their own FileSystem to fail a
// write on purpose, or give DiskFileSystem their own DiskCalls to make one
// system call fail the way a full or failing disk does.
//
// A replaced file keeps its permissions (the new file is created with the
// old one's mode, whatever the umask); a new file is readable by its owner
// alone (kNewFileMode).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <set>
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

// The system calls that replacing a file makes, one virtual each. Each behaves
// as its POSIX namesake: -1 (or a negative count) with errno set on failure.
// The real ones are the default; a test overrides some to fail on purpose.
class DiskCalls {
 public:
  virtual ~DiskCalls() = default;
  virtual int open(const char* path, int flags, mode_t mode);
  virtual ssize_t write(int fd, const void* data, std::size_t size);
  virtual int fsync(int fd);
  virtual int close(int fd);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
};

// The real disk, through POSIX calls.
class DiskFileSystem : public FileSystem {
 public:
  DiskFileSystem();
  // `calls` must outlive this file system.
  explicit DiskFileSystem(DiskCalls& calls);

  Result<std::optional<std::string>> readFile(const std::string& path) override;
  // The replace: a temporary file of a name no other write uses (in the same
  // folder, so the rename stays on one disk), written whole, flushed, closed,
  // renamed over `path`, then the folder is flushed. Any failure before the
  // rename removes the temporary file and leaves `path` byte for byte as it
  // was. A failure to flush the folder after the rename is reported too: the
  // file already holds the new bytes, but the rename might not survive a
  // power cut. The first replace of each file also removes the temporary
  // files that killed runs left beside it.
  Status replaceFile(const std::string& path, const std::string& bytes) override;

 private:
  void removeLeftovers(const std::string& path);

  DiskCalls* calls_;
  std::set<std::string> leftoversChecked_;
};

// The permissions a data file or log is written with: those of the file at
// `path` as it stands, so that a save or a new log file after rotation keeps
// what the operator gave it; kNewFileMode for a file that does not exist yet.
inline constexpr mode_t kNewFileMode = 0600;
mode_t keptFileMode(const std::string& path);

// Joins the data folder and a file name.
std::string dataPath(const std::string& folder, const std::string& fileName);

}  // namespace kelva
