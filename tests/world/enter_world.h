// A player's way into the world over the line port, for the tests that
// start a world in this process and for those that start kelva-world.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "world/line_client.h"

namespace kelva::testing {

// Enters the world as `name` (with `password` for a registered name),
// waiting up to `patience` for each of the world's questions; `Client` is a
// LineClient or any client with the same waits, such as one over TLS.
template <typename Client = LineClient>
void enter(Client& player, const std::string& name, const std::string& password = "",
                  std::chrono::milliseconds patience = std::chrono::milliseconds(3000)) {
  ASSERT_TRUE(player.waitForLine("* What is your name?", patience));
  player.send(name);
  if (!password.empty()) {
    ASSERT_TRUE(player.waitForContaining("Password?", patience));
    player.send(password);
  }
  ASSERT_TRUE(player.waitForContaining("Type .help", patience));
}

}  // namespace kelva::testing
