// How the bot reaches the world server and how patiently it keeps trying.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace kelva::net {

// StartBot's own codes, beside the world's: the world server could not be
// reached, or did not answer the login in time.
inline constexpr int32_t kUnreachableCode = 1000;
inline constexpr int32_t kNoAnswerCode = 1001;

struct NetOptions {
  std::string host = "127.0.0.1";
  std::string port = "7778";
  // The first wait before logging in again, doubled after each failure up to the longest.
  std::chrono::milliseconds firstBackoff{500};
  std::chrono::milliseconds longestBackoff{30000};
  // How long the first StartBot keeps trying to reach the server, and how
  // long it waits for the world's answer.
  std::chrono::milliseconds connectWindow{3000};
  std::chrono::milliseconds loginTimeout{10000};
  // Unsent output past this means the world does not read: the connection is dropped and made afresh.
  std::size_t outputLimit = 16 * 1024 * 1024;
  // Events held for the bot at most; past it the thread stops reading until
  // Wait has taken half of them, so a bot that stops pumping makes the world
  // (whose own output to the bot is bounded) drop the connection instead of
  // this process growing without end.
  std::size_t queueLimit = 200000;
  std::ostream* log = nullptr;  // stderr when null
  // Shown each public line and whisper of the bot as it is sent ("say TEXT",
  // "whisper SESSION TEXT"), so that the operator's terminal shows them.
  std::function<void(const std::string&)> echo;
};

}  // namespace kelva::net
