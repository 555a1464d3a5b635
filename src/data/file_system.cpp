#include "data/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kelva {

namespace {

std::string errnoText(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Shared by every DiskFileSystem of the process, so that no two saves (of one
// file system or of two) ever pick the same temporary name.
std::atomic<uint64_t> tempSerial{0};

std::string baseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A failed replace: the message, with errno read before anything else runs.
Status failed(const char* what, const std::string& path) { return Status::error(errnoText(what, path, errno)); }

}  // namespace

int DiskCalls::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t DiskCalls::write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int DiskCalls::fsync(int fd) { return ::fsync(fd); }
int DiskCalls::close(int fd) { return ::close(fd); }
int DiskCalls::rename(const char* from, const char* to) { return ::rename(from, to); }
int DiskCalls::unlink(const char* path) { return ::unlink(path); }

namespace {
DiskCalls realCalls;
}  // namespace

DiskFileSystem::DiskFileSystem() : calls_(&realCalls) {}
DiskFileSystem::DiskFileSystem(DiskCalls& calls) : calls_(&calls) {}

Result<std::optional<std::string>> DiskFileSystem::readFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::optional<std::string>();
    return failed("cannot open", path);
  }
  std::string bytes;
  // Room for the whole file at once, so that the string never grows by copying.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) bytes.reserve(static_cast<std::size_t>(info.st_size) + 1);
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const Status s = failed("cannot read", path);
      ::close(fd);
      return s;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return std::optional<std::string>(std::move(bytes));
}

void DiskFileSystem::removeLeftovers(const std::string& path) {
  // A bot killed in the middle of a save leaves its temporary file behind.
  // Those of processes that no longer run are removed; a live process (a
  // second bot on the same folder) may still be writing its own.
  const std::string prefix = baseNameOf(path) + ".tmp-";
  const std::string folder = folderOf(path);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789-") != std::string::npos) continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) calls_->unlink((folder + "/" + name).c_str());
  }
  ::closedir(dir);
}

Status DiskFileSystem::replaceFile(const std::string& path, const std::string& bytes) {
  if (leftoversChecked_.insert(path).second) removeLeftovers(path);
  // A name of our own: the process id keeps two running bots apart, the
  // serial two saves of one bot; O_EXCL refuses a name left behind by a
  // crashed run, and then the next serial is tried.
  std::string temp;
  int fd = -1;
  const mode_t mode = keptFileMode(path);
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(tempSerial.fetch_add(1));
    fd = calls_->open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return failed("cannot create", temp);
  }
  if (fd < 0) return failed("cannot create", temp);
  // The umask may have taken bits off; put back exactly the old mode. If
  // that fails the file is only less open than asked, never more, and the
  // save goes on.
  (void)::fchmod(fd, mode);

  // Everything up to the rename undoes itself: close what is open, remove
  // the temporary file, and the old file has not been touched.
  auto abandon = [&](const char* what) {
    const Status s = failed(what, temp);
    if (fd >= 0) calls_->close(fd);
    calls_->unlink(temp.c_str());
    return s;
  };

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = calls_->write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon("cannot write");
    }
    if (n == 0) {
      // A write that takes nothing and reports no error would loop forever.
      errno = EIO;
      return abandon("cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (calls_->fsync(fd) != 0) return abandon("cannot flush");
  const int closing = fd;
  fd = -1;
  if (calls_->close(closing) != 0) return abandon("cannot close");
  if (calls_->rename(temp.c_str(), path.c_str()) != 0) {
    const Status s = failed("cannot rename over", path);
    calls_->unlink(temp.c_str());
    return s;
  }

  // Flush the folder so that the rename itself survives a power cut.
  const std::string folder = folderOf(path);
  const int dirFd = calls_->open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (dirFd < 0) return failed("saved, but cannot open the folder", folder);
  if (calls_->fsync(dirFd) != 0) {
    const Status s = failed("saved, but cannot flush the folder", folder);
    calls_->close(dirFd);
    return s;
  }
  calls_->close(dirFd);
  return Status::ok();
}

mode_t keptFileMode(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  return kNewFileMode;
}

std::string dataPath(const std::string& folder, const std::string& fileName) {
  if (folder.empty()) return fileName;
  if (folder.back() == '/') return folder + fileName;
  return folder + "/" + fileName;
}

}  // namespace kelva
