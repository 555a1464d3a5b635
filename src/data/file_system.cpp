#include "data/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelva {

namespace {

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

Result<std::optional<std::string>> DiskFileSystem::readFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::optional<std::string>();
    return Status::error(errnoText("cannot open", path));
  }
  std::string bytes;
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const Status s = Status::error(errnoText("cannot read", path));
      ::close(fd);
      return s;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return std::optional<std::string>(std::move(bytes));
}

Status DiskFileSystem::replaceFile(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Status::error(errnoText("cannot create", temp));
  if (!writeAll(fd, bytes)) {
    const Status s = Status::error(errnoText("cannot write", temp));
    ::close(fd);
    ::unlink(temp.c_str());
    return s;
  }
  if (::fsync(fd) != 0) {
    const Status s = Status::error(errnoText("cannot flush", temp));
    ::close(fd);
    ::unlink(temp.c_str());
    return s;
  }
  if (::close(fd) != 0) {
    const Status s = Status::error(errnoText("cannot close", temp));
    ::unlink(temp.c_str());
    return s;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const Status s = Status::error(errnoText("cannot rename over", path));
    ::unlink(temp.c_str());
    return s;
  }
  // Flush the folder so that the rename itself survives a power cut.
  const std::string folder = folderOf(path);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return Status::ok();
}

std::string dataPath(const std::string& folder, const std::string& fileName) {
  if (folder.empty()) return fileName;
  if (folder.back() == '/') return folder + fileName;
  return folder + "/" + fileName;
}

}  // namespace kelva
