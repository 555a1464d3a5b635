// How a player chooses a name on entering the world, the same for every kind
// of player connection: a registered name asks for its password (three wrong
// passwords end the connection); any other usable name enters as a guest,
// shown in double quotes, which no registered name starts with. The game's
// administrator test compares names exactly, so a guest can never pass for a
// registered avatar.
//
// The login only decides; the port says it to the player in its own way.
#pragma once

#include <string>
#include <string_view>

#include "world/world_core.h"

namespace kelva::world {

class PlayerLogin {
 public:
  enum class Step {
    kNameRefused,       // `problem` says why; ask for a name again
    kPasswordAsked,     // `name` is registered: ask for its password
    kNameInUse,         // `name` (as shown) is in the world; ask again
    kGuest,             // enter as the guest `name` (shown); `typed` as typed
    kRegistered,        // the password was right: enter as `name`
    kWrongPassword,     // for `name`; ask for a name again
    kTooManyWrong,      // the last allowed wrong password for `name`: close
  };
  struct Outcome {
    Step step = Step::kNameRefused;
    std::string name;
    std::string typed;
    std::string problem;
  };

  // One line from a player who has not entered yet. After kGuest or
  // kRegistered the port enters the player into the world at once.
  Outcome offer(const WorldCore& core, std::string_view line);
  // After kPasswordAsked: the next offer is a name again, not a password
  // (a port whose clients send a name and its password together). The
  // wrong passwords counted so far still count.
  void forgetName() { askedPassword_ = false; }

 private:
  bool askedPassword_ = false;
  std::string chosen_;
  int passwordTries_ = 3;
};

}  // namespace kelva::world
