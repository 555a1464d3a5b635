#include "console/web/console_password.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <istream>
#include <ostream>
#include <vector>

#include "auth/password_hash.h"

namespace kelva::console::web {

namespace {

// Switches the terminal's echo off while the password is typed.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (!::isatty(fd_) || ::tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    on_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (on_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return on_; }

 private:
  int fd_;
  termios saved_{};
  bool on_ = false;
};

}  // namespace

Result<std::optional<std::string>> loadConsolePasswordHash(FileSystem& files, const std::string& dataDir) {
  auto read = files.readFile(dataPath(dataDir, kConsolePasswordFileName));
  if (!read.isOk()) return read.status();
  if (!read.value()) return std::optional<std::string>();
  std::string hash = *read.value();
  while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
  if (hash.empty()) return std::optional<std::string>();
  return std::optional<std::string>(std::move(hash));
}

Status storeConsolePassword(FileSystem& files, const std::string& dataDir, const std::string& password) {
  if (password.size() < kShortestConsolePassword) {
    return Status::error("the password must be at least " + std::to_string(kShortestConsolePassword) +
                         " characters long");
  }
  if (password.find_first_of("\r\n") != std::string::npos) return Status::error("the password holds a line break");
  auto hash = auth::hashPassword(password);
  if (!hash.isOk()) return hash.status();
  // The file is made owner-only from its first byte: the temporary file the
  // atomic replace writes is created under this mask.
  const mode_t previous = ::umask(077);
  Status written = files.replaceFile(dataPath(dataDir, kConsolePasswordFileName), hash.value() + "\n");
  ::umask(previous);
  return written;
}

int runConsolePasswordCommand(const std::vector<std::string>& args, int inFd, std::istream& in, std::ostream& out,
                              std::ostream& err) {
  std::optional<std::string> dataDir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--data-dir" && i + 1 < args.size()) {
      dataDir = args[++i];
    } else if (args[i].rfind("--data-dir=", 0) == 0) {
      dataDir = args[i].substr(11);
    } else {
      err << "kelvabot console-password: unknown argument " << args[i]
          << "\nusage: kelvabot console-password --data-dir DIR   (the password is read from standard input)\n";
      return 2;
    }
  }
  if (!dataDir) {
    err << "kelvabot console-password: --data-dir DIR is needed\n";
    return 2;
  }
  std::string password;
  {
    EchoOff quiet(inFd);
    if (quiet.active()) out << "Console password: " << std::flush;
    std::getline(in, password);
    if (quiet.active()) out << "\n";
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  DiskFileSystem files;
  Status stored = storeConsolePassword(files, *dataDir, password);
  if (!stored.isOk()) {
    err << "kelvabot console-password: " << stored.message() << "; nothing was changed\n";
    return 1;
  }
  out << "The console password is set (" << dataPath(*dataDir, kConsolePasswordFileName) << ").\n";
  return 0;
}

}  // namespace kelva::console::web
