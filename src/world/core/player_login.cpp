#include "world/core/player_login.h"

#include <ctime>

#include "world/core/world_accounts.h"

namespace kelva::world {

PlayerLogin::Outcome PlayerLogin::offer(const WorldCore& core, std::string_view line, TimePoint now) {
  if (askedPassword_) {
    askedPassword_ = false;
    LoginThrottle::Decision d = throttle_.admit(source_, chosen_, now);
    switch (d.verdict) {
      case LoginThrottle::Verdict::kRefused: {
        Outcome o{Step::kThrottled, chosen_, "", ""};
        o.wait = d.wait;
        o.because = d.because;
        return o;
      }
      case LoginThrottle::Verdict::kCheckLater: {
        heldPassword_ = std::string(line);
        Outcome o{Step::kCheckLater, chosen_, "", ""};
        o.wait = d.wait;
        o.because = d.because;
        return o;
      }
      case LoginThrottle::Verdict::kCheckNow:
        break;
    }
    return check(core, line, now);
  }

  std::string_view typed = line;
  while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
  while (!typed.empty() && (typed.back() == ' ' || typed.back() == '\t')) typed.remove_suffix(1);
  if (std::string problem = nameProblem(typed); !problem.empty()) return {Step::kNameRefused, "", "", problem};
  std::string chosen(typed);
  if (core.account(chosen)) {
    chosen_ = chosen;
    askedPassword_ = true;
    return {Step::kPasswordAsked, chosen, "", ""};
  }
  const WorldDefinition& def = core.definition();
  if (!def.guests) return {Step::kGuestsClosed, "", chosen, ""};
  if (def.maxGuests && core.guestCount() >= *def.maxGuests)
    return {Step::kGuestsFull, "", chosen, std::to_string(*def.maxGuests)};
  std::string shown = "\"" + chosen + "\"";
  if (core.nameInUse(shown)) return {Step::kNameInUse, shown, "", ""};
  return {Step::kGuest, shown, chosen, ""};
}

PlayerLogin::Outcome PlayerLogin::checkHeld(const WorldCore& core, TimePoint now) {
  std::string password = std::move(heldPassword_);
  heldPassword_.clear();
  return check(core, password, now);
}

PlayerLogin::Outcome PlayerLogin::check(const WorldCore& core, std::string_view password, TimePoint now) {
  std::optional<AccountRecord> acc = core.account(chosen_);
  // An account removed while its password was typed answers as a wrong one.
  if (!acc) return verified(core, false, now);
  Outcome o{Step::kVerify, chosen_, "", ""};
  o.storedHash = acc->passwordHash;
  o.password = std::string(password);
  return o;
}

PlayerLogin::Outcome PlayerLogin::verified(const WorldCore& core, bool right, TimePoint now, int64_t clock) {
  if (right) {
    // The account as it is now: the accounts tool may have removed or
    // banned it while the password was being checked.
    std::optional<AccountRecord> acc = core.account(chosen_);
    if (!acc) return verified(core, false, now, clock);
    if (clock == 0) clock = static_cast<int64_t>(std::time(nullptr));
    if (acc->bannedAt(clock)) return {Step::kBanned, chosen_, "", banEndText(acc->bannedUntil)};
    throttle_.succeeded(source_, chosen_, now);
    const Avatar* holder = core.avatarNamed(chosen_);
    if (!holder) return {Step::kRegistered, chosen_, "", ""};
    // Only a registered player's own connection gives way; a bot that took
    // the name keeps it.
    if (holder->kind != AvatarKind::kRegistered) return {Step::kNameInUse, chosen_, "", ""};
    Outcome o{Step::kRegistered, chosen_, "", ""};
    o.takesOver = true;
    return o;
  }
  throttle_.failed(source_, chosen_, now);
  if (--passwordTries_ <= 0) return {Step::kTooManyWrong, chosen_, "", ""};
  return {Step::kWrongPassword, chosen_, "", ""};
}

}  // namespace kelva::world
