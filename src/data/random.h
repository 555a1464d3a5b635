// The game's one random generator.
//
// A 24-bit linear congruential generator, x <- (x * 1140671485 + 12820163)
// mod 2^24, so that a dry run with a given seed prints the same transcript on
// every machine. Each draw advances it once and stands for r = x / 2^24 in
// [0, 1). A roll floor(r * n) is computed exactly in integers.
#pragma once

#include <cstdint>

namespace kelva {

class Rng {
 public:
  explicit Rng(uint32_t seed = 0) : x_(seed & kMask) {}
  // Seeds from any whole number: its value modulo 2^24.
  void seed(int64_t value);
  // One draw: floor(r * n), rounded towards minus infinity for negative n.
  int64_t roll(int64_t n);
  // The state, for tests.
  uint32_t state() const { return x_; }

 private:
  static constexpr uint32_t kMask = (1u << 24) - 1;
  uint32_t x_;
};

// Seconds since midnight, local time: the seed of a normal start.
int64_t secondsSinceMidnight();

}  // namespace kelva
