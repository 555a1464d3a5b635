#include "data/random.h"

#include <ctime>

namespace kelva {

void Rng::seed(int64_t value) {
  int64_t m = value % (int64_t{1} << 24);
  if (m < 0) m += int64_t{1} << 24;
  x_ = static_cast<uint32_t>(m);
}

int64_t Rng::roll(int64_t n) {
  x_ = static_cast<uint32_t>((uint64_t{x_} * 1140671485u + 12820163u) & kMask);
  const int64_t product = static_cast<int64_t>(x_) * n;
  // Division by 2^24 rounding towards minus infinity (an arithmetic shift).
  return product >> 24;
}

int64_t secondsSinceMidnight() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

}  // namespace kelva
