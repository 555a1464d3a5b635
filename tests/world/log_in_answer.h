// The world's answer to one log-in on the player port, for tests of who may
// enter: the line after the password, or after the name when no password
// is asked (a guest).
#pragma once

#include <string>

#include "world/line_client.h"

namespace kelva::testing {

inline std::string logInAnswer(uint16_t port, const std::string& name, const std::string& password) {
  LineClient c(port);
  if (!c.waitForLine("* What is your name?")) return "no welcome";
  c.send(name);
  std::optional<std::string> asked = c.readLine();
  if (!asked || asked->find("Password?") == std::string::npos) return asked.value_or("no answer");
  c.send(password);
  return c.readLine().value_or("no answer");
}

}  // namespace kelva::testing
