#include "app/shutdown_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace kelva::app {

namespace {

sigset_t setOf(std::initializer_list<int> which) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : which) sigaddset(&set, s);
  return set;
}

}  // namespace

void blockShutdownSignals() {
  const sigset_t set = setOf({SIGINT, SIGTERM});
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void blockHangup() {
  const sigset_t set = setOf({SIGHUP});
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

ShutdownSignals::ShutdownSignals(std::initializer_list<int> which) : set_(setOf(which)) {
  if (::pthread_sigmask(SIG_BLOCK, &set_, &previous_) != 0) return;
  fd_ = ::signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    std::cerr << "kelvabot: cannot watch for signals: " << std::strerror(errno) << "\n";
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
}

ShutdownSignals::~ShutdownSignals() {
  if (fd_ < 0) return;
  // Signals that came during the countdown are taken here, so that
  // unblocking them does not kill the program on its way out.
  drain();
  ::close(fd_);
  ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool ShutdownSignals::drain() {
  bool any = false;
  signalfd_siginfo info;
  while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
  return any;
}

}  // namespace kelva::app
