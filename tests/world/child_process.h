// Starts a program of this build as a separate process, for the tests and
// the benchmark that run kelva-world and kelvabot side by side. Its standard
// output and error go to files (read back with `outputText`), so a chatty
// child can never block on a full pipe; its standard input is a pipe the
// test writes lines into.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kelva::testing {

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& stdoutPath, const std::string& stderrPath)
      : stdoutPath_(stdoutPath), stderrPath_(stderrPath) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    stdin_ = in[1];
  }
  ~ChildProcess() {
    closeInput();
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  void writeLine(const std::string& line) {
    std::string bytes = line + "\n";
    if (stdin_ >= 0) {
      ssize_t ignored = ::write(stdin_, bytes.data(), bytes.size());
      (void)ignored;
    }
  }
  void closeInput() {
    if (stdin_ >= 0) ::close(stdin_);
    stdin_ = -1;
  }
  void signal(int sig) {
    if (running()) ::kill(pid_, sig);
  }

  // The exit status once the child has ended within `timeout`; nullopt if it
  // is still running then.
  std::optional<int> waitExit(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitStatus_;
  }

  std::string outputText() const { return readFile(stdoutPath_); }
  std::string errorText() const { return readFile(stderrPath_); }

  // Waits until the standard output holds `text`.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (outputText().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  bool running() const { return pid_ > 0 && !exitStatus_; }
  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  std::optional<int> exitStatus_;
  std::string stdoutPath_;
  std::string stderrPath_;
};

// The port in a line "Players connect with: nc ADDRESS PORT", "Bots log in
// on: ADDRESS:PORT" or "Players in a browser open: http://ADDRESS:PORT/" of
// kelva-world's output; 0 when it is not there yet.
inline uint16_t portAfter(const std::string& output, const std::string& marker) {
  std::size_t at = output.find(marker);
  if (at == std::string::npos) return 0;
  std::size_t end = output.find('\n', at);
  if (end == std::string::npos) return 0;
  std::string line = output.substr(at, end - at);
  if (!line.empty() && line.back() == '/') line.pop_back();
  std::size_t digits = line.find_last_not_of("0123456789");
  return static_cast<uint16_t>(std::stoi(line.substr(digits + 1)));
}

}  // namespace kelva::testing
