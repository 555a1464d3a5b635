// How a player chooses a name on entering the world, the same for every kind
// of player connection: a registered name asks for its password (three wrong
// passwords end the connection); any other usable name enters as a guest,
// shown in double quotes, which no registered name starts with. The game's
// administrator test compares names exactly, so a guest can never pass for a
// registered avatar.
//
// Passwords go through the world's log-in throttle: an address or a name
// with too many wrong passwords lately has its attempts refused unchecked
// for a while, or (an address that never failed, on a throttled name) checked
// after a short wait. The right password for a registered name that is
// already in the world takes the name over: the older connection gives way,
// so a player whose connection died silently gets back in at once. The world
// file may turn guests away or cap how many are in at once.
//
// A password is compared with the account's Argon2id hash, which is slow on
// purpose: the login hands the comparison out (kVerify) and the port runs it
// off the world's thread, so a storm of log-ins never stalls the world.
//
// A banned name is told so, and until when, only after its right password:
// nobody else learns of the ban. The ban is read from the store at that
// moment, so one set by the accounts tool while the world runs holds at once.
//
// The login only decides; the port says it to the player in its own way.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "world/guards/login_throttle.h"
#include "world/core/world_core.h"

namespace kelva::world {

class PlayerLogin {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  enum class Step {
    kNameRefused,       // `problem` says why; ask for a name again
    kPasswordAsked,     // `name` is registered: ask for its password
    kNameInUse,         // `name` (as shown) is in the world; ask again
    kGuest,             // enter as the guest `name` (shown); `typed` as typed
    kRegistered,        // the password was right: enter as `name` (see `takesOver`)
    kWrongPassword,     // for `name`; ask for a name again
    kTooManyWrong,      // the last allowed wrong password for `name`: close
    kGuestsClosed,      // this world lets in registered players only; ask again
    kGuestsFull,        // `problem`: as many guests as the world allows are in; ask again
    kThrottled,         // refused unchecked: come back after `wait`; ask for a name again
    kCheckLater,        // the password is checked after `wait`: call `checkHeld` then
    kVerify,            // compare `password` with `storedHash` off the world's thread,
                        // then call `verified` with the answer
    kBusy,              // the port cannot check a password now; ask for a name again
    kBanned,            // the right password for `name`, which is banned: `problem`
                        // says until when; ask for a name again
  };
  struct Outcome {
    Step step = Step::kNameRefused;
    std::string name{};
    std::string typed{};
    std::string problem{};
    std::chrono::milliseconds wait{0};
    LoginThrottle::Because because = LoginThrottle::Because::kNothing;
    // kRegistered: the name's owner is in the world on another connection,
    // which the port dismisses (`WorldCore::takeOver`) before entering.
    bool takesOver = false;
    // kVerify: the account's hash and the password typed for it.
    std::string storedHash{};
    std::string password{};
  };

  // `throttle` must outlive the login; `source` is the connection's address
  // as the throttle counts it.
  PlayerLogin(LoginThrottle& throttle, std::string source) : throttle_(throttle), source_(std::move(source)) {}

  // One line from a player who has not entered yet. After kGuest or
  // kRegistered the port enters the player into the world at once.
  Outcome offer(const WorldCore& core, std::string_view line, TimePoint now = std::chrono::steady_clock::now());
  // After kCheckLater, once the wait is over: the held password's outcome.
  Outcome checkHeld(const WorldCore& core, TimePoint now = std::chrono::steady_clock::now());
  // After kVerify: whether the password matched the hash; the outcome is
  // kRegistered or a wrong password, as offer() would have said.
  // `clock` is the time of day (seconds since the epoch) the ban is held
  // against; 0: now.
  Outcome verified(const WorldCore& core, bool right, TimePoint now = std::chrono::steady_clock::now(),
                   int64_t clock = 0);
  // After kPasswordAsked: the next offer is a name again, not a password
  // (a port whose clients send a name and its password together). The
  // wrong passwords counted so far still count.
  void forgetName() { askedPassword_ = false; }

 private:
  Outcome check(const WorldCore& core, std::string_view password, TimePoint now);

  LoginThrottle& throttle_;
  std::string source_;
  bool askedPassword_ = false;
  std::string chosen_;
  std::string heldPassword_;
  int passwordTries_ = 3;
};

}  // namespace kelva::world
