// The player gate's account commands: sign-up before entering, .register
// for a guest in the world, .password for a registered player. The slow
// hashes run on the hub's workers; the store is written on the world's
// thread, and the player is told of an account only once it is on disk.
#include <memory>

#include "auth/password_hash.h"
#include "world/core/sign_up.h"
#include "world/ports/player_gate.h"

namespace kelva::world {

namespace {

constexpr std::string_view kRegister = ".register";
constexpr std::string_view kPassword = ".password";

const char* const kBusy = "The world is busy; please try again in a moment.";

}  // namespace

bool PlayerGate::hashThen(const std::string& password, std::function<void(const std::string&)> then,
                          std::function<void()> late) {
  auto hash = std::make_shared<std::string>();
  auto work = [hash, password, cost = hub_.hashCost] {
    Result<std::string> made = auth::hashPassword(password, cost);
    if (made.isOk()) *hash = made.value();
    return made.isOk();
  };
  return voice_.holdWhile(std::move(work), [hash, then = std::move(then), late = std::move(late)](HashAnswer made) {
    if (made) then(*hash);
    else late();
  });
}

Status PlayerGate::makeAccount(const std::string& name, const std::string& hash) {
  if (hash.empty()) return Status::error("the password could not be hashed");
  Status added = core_.accounts()->add({name, hash, false, 0});
  if (!added.isOk()) {
    hub_.log("sign-up of " + name + " from " + peer_ + " not saved: " + added.message());
    return added;
  }
  hub_.log(name + " signed up from " + peer_ + logTag_);
  return Status::ok();
}

void PlayerGate::signUp(const std::string& name, const std::string& password) {
  auto refuse = [this](const std::string& why) { voice_.sayLogin(PlayerLogin::Step::kNameRefused, why); };
  if (std::string problem = signUpProblem(core_, name, password); !problem.empty()) {
    refuse("You cannot sign up: " + problem + ".");
    return;
  }
  if (!hub_.signUps.admit(source_, std::chrono::steady_clock::now())) {
    refuse("Too many accounts were made lately, from your address or in all; please try again later.");
    return;
  }
  bool queued = hashThen(password, [this, name, password](const std::string& hash) {
    // The name may have been taken while the hash was made.
    if (std::string problem = signUpProblem(core_, name, password); !problem.empty()) {
      voice_.sayLogin(PlayerLogin::Step::kNameRefused, "You cannot sign up: " + problem + ".");
      return;
    }
    if (Status made = makeAccount(name, hash); !made.isOk()) {
      voice_.sayLogin(PlayerLogin::Step::kNameRefused, "Your account was not made: " + made.message() + ".");
      return;
    }
    answer({.step = PlayerLogin::Step::kRegistered, .name = name});
  }, [refuse] { refuse(kBusy); });
  if (!queued) refuse(kBusy);
}

bool PlayerGate::accountCommand(std::string_view line, const std::string& shownName, AvatarKind kind) {
  if (std::optional<std::string_view> password = commandArguments(line, kRegister)) {
    if (kind != AvatarKind::kGuest) {
      voice_.tellPlayer("You have an account already.");
      return true;
    }
    // A guest is shown in double quotes; the account takes the name as typed.
    const std::string name = shownName.substr(1, shownName.size() - 2);
    const std::string secret(*password);
    if (std::string problem = signUpProblem(core_, name, secret); !problem.empty()) {
      voice_.tellPlayer("You cannot register: " + problem + ". Type .register PASSWORD.");
      return true;
    }
    if (!hub_.signUps.admit(source_, std::chrono::steady_clock::now())) {
      voice_.tellPlayer("Too many accounts were made lately, from your address or in all; please try again later.");
      return true;
    }
    bool queued = hashThen(secret, [this, name, secret](const std::string& hash) {
      // The name may have been taken while the hash was made.
      const std::string problem = signUpProblem(core_, name, secret);
      Status made = problem.empty() ? makeAccount(name, hash) : Status::error(problem);
      if (!made.isOk()) {
        voice_.tellPlayer("Your account was not made: " + made.message() + ".");
        return;
      }
      voice_.tellPlayer("The name " + name + " is yours from your next log-in, with that password. Your guest's "
                        "character stays with \"" + name + "\"; ask the host to move it to " + name + ".");
    }, [this] { voice_.tellPlayer(kBusy); });
    if (!queued) voice_.tellPlayer(kBusy);
    return true;
  }
  if (std::optional<std::string_view> words = commandArguments(line, kPassword)) {
    const std::size_t blank = words->find(' ');
    if (kind != AvatarKind::kRegistered) {
      voice_.tellPlayer("Only a registered player has a password; a guest may type .register PASSWORD.");
      return true;
    }
    if (blank == std::string_view::npos || blank == 0 || blank + 1 == words->size()) {
      voice_.tellPlayer("Type .password OLD NEW.");
      return true;
    }
    std::optional<AccountRecord> account = core_.account(shownName);
    if (!account) {
      voice_.tellPlayer("Your account is gone; the password was not changed.");
      return true;
    }
    auto hash = std::make_shared<std::string>();
    auto work = [hash, stored = account->passwordHash, old = std::string(words->substr(0, blank)),
                 fresh = std::string(words->substr(blank + 1)), cost = hub_.hashCost] {
      if (!auth::verifyPassword(stored, old)) return false;
      Result<std::string> made = auth::hashPassword(fresh, cost);
      if (made.isOk()) *hash = made.value();
      return true;
    };
    bool queued = voice_.holdWhile(std::move(work), [this, hash, shownName](HashAnswer rightOld) {
      if (!rightOld) {
        voice_.tellPlayer(kBusy);
        return;
      }
      if (!*rightOld) {
        voice_.tellPlayer("Wrong password; yours was not changed.");
        return;
      }
      Status saved = hash->empty() ? Status::error("the password could not be hashed")
                                   : core_.accounts()->setPasswordHash(shownName, *hash);
      if (!saved.isOk()) {
        hub_.log("password change of " + shownName + " not saved: " + saved.message());
        voice_.tellPlayer("Your password was not changed: " + saved.message() + ".");
        return;
      }
      hub_.log(shownName + " changed the password");
      voice_.tellPlayer("Your password is changed.");
    });
    if (!queued) voice_.tellPlayer(kBusy);
    return true;
  }
  return adminCommand(line, shownName, kind);
}

}  // namespace kelva::world
