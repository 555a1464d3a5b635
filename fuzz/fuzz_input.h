// Reading a fuzzer's bytes as the pieces of a test: small numbers, flags,
// texts and choices from a list. Reading past the end gives zeros and empty
// texts, so every input, however short, is a whole test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kelva::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool flag() { return (byte() & 1) != 0; }
  // A number in [0, n).
  std::size_t below(std::size_t n) { return n == 0 ? 0 : byte() % n; }
  // A 32-bit number, usually small (as the game's values are), sometimes
  // anywhere in the range, the extremes included.
  int32_t number() {
    switch (byte() % 8) {
      case 0:
        return static_cast<int32_t>(static_cast<uint32_t>(byte()) << 24 | static_cast<uint32_t>(byte()) << 16 |
                                    static_cast<uint32_t>(byte()) << 8 | byte());
      case 1:
        return -static_cast<int32_t>(byte());
      case 2:
        return byte() % 2 ? INT32_MAX : INT32_MIN;
      default:
        return static_cast<int32_t>(byte()) * (1 + byte() % 4);
    }
  }
  // A text of up to `max` bytes, the length first.
  std::string text(std::size_t max) {
    const std::size_t n = below(max + 1);
    std::string s;
    for (std::size_t i = 0; i < n && !empty(); ++i) s += static_cast<char>(byte());
    return s;
  }
  template <typename T, std::size_t N>
  const T& pick(const T (&choices)[N]) {
    return choices[below(N)];
  }
  std::string_view rest() {
    const std::string_view r(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return r;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Stops the run the way a sanitizer report does, so that libFuzzer keeps the
// input and the replay test fails.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace kelva::fuzz
