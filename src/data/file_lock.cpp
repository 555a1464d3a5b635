#include "data/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace kelva {

Result<FileLock> FileLock::take(const std::string& path, Mode mode, int fileMode, const Refusals& say) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode);
  if (fd < 0) return Status::error(say.failed + std::strerror(errno));
  const int how = mode == Mode::kExclusive ? LOCK_EX : LOCK_SH;
  int taken;
  do {
    taken = ::flock(fd, how | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken != 0) {
    const int error = errno;
    ::close(fd);
    return Status::error(error == EWOULDBLOCK ? say.busy : say.failed + std::strerror(error));
  }
  return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kelva
