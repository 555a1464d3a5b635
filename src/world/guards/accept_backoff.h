// How long an accept loop pauses after `accept` fails.
//
// When the process is out of descriptors or memory, accepting again at once
// fails again at once: the loop would burn a core and the log would fill with
// the same line. A failure of that kind pauses accepting, 50 ms at first,
// twice as long after each further failure, up to 1 s; the first success
// ends the back-off, so the port is open again as soon as descriptors free
// up. Other failures (a client that gave up while queued) retry at once.
// Nothing here knows of sockets: the caller passes the failure's errno value.
#pragma once

#include <chrono>
#include <cstdint>

namespace kelva::world {

// True for the failures that mean the process or the system has run out of
// descriptors or memory.
bool isResourceExhaustion(int errnoValue);

class AcceptBackoff {
 public:
  explicit AcceptBackoff(std::chrono::milliseconds first = std::chrono::milliseconds(50),
                         std::chrono::milliseconds cap = std::chrono::seconds(1))
      : first_(first), cap_(cap) {}

  // The pause before the next accept after a failure with `errnoValue`.
  std::chrono::milliseconds failed(int errnoValue);
  void succeeded() { next_ = std::chrono::milliseconds(0); }
  // Failures of resource exhaustion since the world started.
  uint64_t exhaustions() const { return exhaustions_; }
  bool backingOff() const { return next_.count() > 0; }

 private:
  std::chrono::milliseconds first_;
  std::chrono::milliseconds cap_;
  std::chrono::milliseconds next_{0};
  uint64_t exhaustions_ = 0;
};

}  // namespace kelva::world
