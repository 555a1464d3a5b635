#include "world/store/data_dir_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kelva::world {

Result<DataDirLock> DataDirLock::take(const std::string& dataDir, Mode mode) {
  const std::string path = (std::filesystem::path(dataDir) / "world.lock").string();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Status::error("cannot open " + path + ": " + std::strerror(errno));
  const int how = mode == Mode::kAlone ? LOCK_EX : LOCK_SH;
  int taken;
  do {
    taken = ::flock(fd, how | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK)
      return Status::error(mode == Mode::kAlone ? "a world is running on " + dataDir + "; stop it first"
                                                : "another command is changing " + dataDir + "; try again");
    return Status::error("cannot lock " + path + ": " + std::strerror(error));
  }
  return DataDirLock(fd);
}

DataDirLock& DataDirLock::operator=(DataDirLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

DataDirLock::~DataDirLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kelva::world
