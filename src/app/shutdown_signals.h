// SIGINT and SIGTERM as something the bot reads, not something that kills it.
//
// The operator stops a bot in real time with Ctrl-C or the service manager's
// SIGTERM, and expects it to say its countdown and leave the world. So these
// two signals are blocked and read from a descriptor, on the bot's own
// thread, between two handlers: never inside one.
//
// With a certificate, SIGHUP is read the same way: it asks the bot to read
// the certificate again after a renewal, and never ends it.
#pragma once

#include <signal.h>

#include <initializer_list>

namespace kelva::app {

// Blocks SIGINT and SIGTERM in the calling thread. Call it before any other
// thread starts (the network world's, the hosted server's): threads inherit
// the block, so no thread of the process takes the signals' default action.
void blockShutdownSignals();
// Blocks SIGHUP likewise, for a bot that reads it as "certificate renewed".
void blockHangup();

class ShutdownSignals {
 public:
  // Blocks the two signals in this thread and opens the descriptor that
  // reports them; fd() is -1 (and stderr says why) when that fails.
  ShutdownSignals() : ShutdownSignals({SIGINT, SIGTERM}) {}
  // The same for the signals `which` (SIGHUP).
  explicit ShutdownSignals(std::initializer_list<int> which);
  // Takes any signal still pending, then restores the thread's earlier mask.
  ~ShutdownSignals();
  ShutdownSignals(const ShutdownSignals&) = delete;
  ShutdownSignals& operator=(const ShutdownSignals&) = delete;

  // Readable when a signal is pending; never blocks.
  int fd() const { return fd_; }
  // Takes the pending signals; true when there was one.
  bool drain();

 private:
  sigset_t set_;
  sigset_t previous_;
  int fd_ = -1;
};

}  // namespace kelva::app
