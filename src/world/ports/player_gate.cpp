#include "world/ports/player_gate.h"

#include "auth/password_hash.h"
#include "world/ports/player_texts.h"

namespace kelva::world {

namespace {

// The reason a refused log-in is counted under in /metrics; null for a
// step that lets the player in or only asks again.
const char* refusalReason(PlayerLogin::Step step) {
  using Step = PlayerLogin::Step;
  switch (step) {
    case Step::kWrongPassword:
    case Step::kTooManyWrong:
      return "password";
    case Step::kThrottled:
      return "throttled";
    case Step::kNameRefused:
    case Step::kNameInUse:
      return "name";
    case Step::kGuestsClosed:
    case Step::kGuestsFull:
      return "guests";
    case Step::kBusy:
      return "busy";
    default:
      return nullptr;
  }
}

}  // namespace

PlayerGate::PlayerGate(Voice& voice, ConnectionHub& hub, WorldCore& core, const std::string& source,
                       std::string peer, std::string logTag)
    : voice_(voice), hub_(hub), core_(core), source_(source), peer_(std::move(peer)), logTag_(std::move(logTag)),
      login_(hub.guards.throttle, source), flood_(hub.limits.playerLinesPerSecond, hub.limits.playerLineBurst) {}

void PlayerGate::answer(const PlayerLogin::Outcome& o) {
  using Step = PlayerLogin::Step;
  if (o.step == Step::kWrongPassword || o.step == Step::kTooManyWrong)
    hub_.guards.logOnce("wrong password " + o.name + " " + source_,
                        "wrong password for " + o.name + " from " + peer_ + logTag_);
  if (const char* reason = refusalReason(o.step)) hub_.metrics.loginRefused(reason);
  if (std::string text = loginText(o); !text.empty()) voice_.sayLogin(o.step, text);
  switch (o.step) {
    case Step::kTooManyWrong:
      voice_.letGo("three wrong passwords");
      return;
    case Step::kGuest:
      voice_.enterWorld(o.name, AvatarKind::kGuest);
      return;
    case Step::kRegistered:
      if (o.takesOver) core_.takeOver(o.name);
      voice_.enterWorld(o.name, AvatarKind::kRegistered);
      return;
    case Step::kCheckLater:
      voice_.holdFor(o.wait, [this] { answer(login_.checkHeld(core_)); });
      return;
    case Step::kVerify: {
      auto verify = [hash = o.storedHash, password = o.password] { return auth::verifyPassword(hash, password); };
      const PlayerLogin::Outcome busy{.step = Step::kBusy, .name = o.name};
      // Not checked in time (a storm of log-ins): the player hears "busy" and
      // may try again; the name's throttle does not count it as wrong.
      auto then = [this, busy](HashAnswer right) { answer(right ? login_.verified(core_, *right) : busy); };
      if (!voice_.holdWhile(std::move(verify), std::move(then))) answer(busy);
      return;
    }
    default:
      return;
  }
}

bool PlayerGate::withinAllowance() {
  FloodBucket::Take take = flood_.take();
  if (take.allowed) return true;
  if (take.warn) {
    hub_.log(voice_.describe() + " types too fast; " + std::to_string(take.dropped) + " line(s) dropped so far");
    voice_.sayDropped("You are typing too fast; that line was dropped.");
  }
  return false;
}

bool PlayerGate::lineFits(std::string_view text) {
  if (text.size() > hub_.limits.maxPlayerLine) {
    overlong();
    return false;
  }
  if (std::string problem = textProblem(text); !problem.empty()) {
    hub_.log(voice_.describe() + ": line refused: " + problem);
    voice_.sayDropped("That line was not sent: " + problem + ".");
    return false;
  }
  return true;
}

void PlayerGate::overlong() {
  const std::string limit = std::to_string(hub_.limits.maxPlayerLine);
  hub_.log(voice_.describe() + ": a line longer than " + limit + " bytes was dropped");
  voice_.sayDropped("That line was too long (more than " + limit + " bytes) and was dropped.");
}

}  // namespace kelva::world
