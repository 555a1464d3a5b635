// Checked arithmetic and table access for the game's fixed widths.
//
// The game stores most numbers as "long" (signed 32-bit) and a few as
// "integer" (signed 16-bit). A result that does not fit its width, a text
// that is not a number, or an index outside a table is a runtime error: it
// raises GameError and is caught only where the game contains such failures
// (an administrator command, a step of a battle round, an event or timer
// handler). Nothing here wraps silently.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelva {

// The runtime errors the game knows; the last is a step that needs a value
// an earlier, failed step of the same battle exchange did not produce.
enum class GameErrorKind { kTypeMismatch, kOverflow, kSubscriptOutOfRange, kMissingValue };

class GameError : public std::runtime_error {
 public:
  GameError(GameErrorKind kind, const std::string& what)
      : std::runtime_error(what), kind_(kind) {}
  GameErrorKind kind() const { return kind_; }

 private:
  GameErrorKind kind_;
};

[[noreturn]] inline void throwOverflow(const char* what) {
  throw GameError(GameErrorKind::kOverflow, std::string("overflow: ") + what);
}

// a + b, a - b, a * b in signed 32-bit; throws on overflow.
inline int32_t addLong(int32_t a, int32_t b) {
  int32_t r;
  const bool overflow = __builtin_add_overflow(a, b, &r);
  if (overflow) throwOverflow("long addition");
  return r;
}
inline int32_t subLong(int32_t a, int32_t b) {
  int32_t r;
  const bool overflow = __builtin_sub_overflow(a, b, &r);
  if (overflow) throwOverflow("long subtraction");
  return r;
}
inline int32_t mulLong(int32_t a, int32_t b) {
  int32_t r;
  const bool overflow = __builtin_mul_overflow(a, b, &r);
  if (overflow) throwOverflow("long multiplication");
  return r;
}

// Narrows a wider whole number to long or integer; throws when it does not fit.
inline int32_t toLong(int64_t v) {
  if (v < INT32_MIN || v > INT32_MAX) throwOverflow("value does not fit a long");
  return static_cast<int32_t>(v);
}
inline int16_t toInteger(int64_t v) {
  if (v < INT16_MIN || v > INT16_MAX) throwOverflow("value does not fit an integer");
  return static_cast<int16_t>(v);
}

// Rounds a double to the nearest whole number, halves to the even neighbour,
// and stores it as a long; throws when the result does not fit (or is NaN).
int32_t roundToLong(double v);

// Checked access to a fixed table: an index outside 0..N-1 throws.
template <typename T, std::size_t N>
T& at(std::array<T, N>& table, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(N)) {
    throw GameError(GameErrorKind::kSubscriptOutOfRange,
                    "index " + std::to_string(index) + " outside a table of " + std::to_string(N));
  }
  return table[static_cast<std::size_t>(index)];
}
template <typename T, std::size_t N>
const T& at(const std::array<T, N>& table, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(N)) {
    throw GameError(GameErrorKind::kSubscriptOutOfRange,
                    "index " + std::to_string(index) + " outside a table of " + std::to_string(N));
  }
  return table[static_cast<std::size_t>(index)];
}

}  // namespace kelva
