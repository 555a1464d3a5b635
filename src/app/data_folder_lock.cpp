#include "app/data_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "data/file_system.h"

namespace kelva::app {

Result<DataFolderLock> DataFolderLock::acquire(const std::string& folder) {
  const std::string path = dataPath(folder, kLockFileName);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    return Status::error("cannot use the data folder " + folder + ": " + std::strerror(errno));
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      return Status::error("another kelvabot is running on the data folder " + folder +
                           " (it holds " + path + "); stop it first, or give this one its own --data-dir");
    }
    return Status::error("cannot lock the data folder " + folder + ": " + std::strerror(error));
  }
  return DataFolderLock(fd);
}

DataFolderLock::DataFolderLock(DataFolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DataFolderLock::~DataFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kelva::app
