// A kernel lock (flock) on one file, held for as long as its FileLock lives.
// The kernel drops it when the process ends, however it ends, so a crash or
// SIGKILL never leaves a stale lock that blocks the next start. Both the bot
// and the world claim their data folders with one.
#pragma once

#include <string>

#include "data/result.h"

namespace kelva {

class FileLock {
 public:
  enum class Mode { kShared, kExclusive };
  // What a refusal says: `busy` when another process holds a lock that
  // conflicts; otherwise `failed` followed by the system's reason.
  struct Refusals {
    std::string busy;
    std::string failed;
  };
  // Opens `path` (made with `fileMode` when missing) and locks it without
  // waiting. The file stays after the lock is let go: removing it could race
  // a new holder.
  static Result<FileLock> take(const std::string& path, Mode mode, int fileMode, const Refusals& say);

  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kelva
