#include "world/guards/accept_backoff.h"

#include <algorithm>
#include <cerrno>

namespace kelva::world {

bool isResourceExhaustion(int errnoValue) {
  return errnoValue == EMFILE || errnoValue == ENFILE || errnoValue == ENOBUFS || errnoValue == ENOMEM;
}

std::chrono::milliseconds AcceptBackoff::failed(int errnoValue) {
  if (!isResourceExhaustion(errnoValue)) return std::chrono::milliseconds(0);
  ++exhaustions_;
  std::chrono::milliseconds pause = next_.count() == 0 ? first_ : std::min(next_ * 2, cap_);
  next_ = pause;
  return pause;
}

}  // namespace kelva::world
