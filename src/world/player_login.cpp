#include "world/player_login.h"

namespace kelva::world {

PlayerLogin::Outcome PlayerLogin::offer(const WorldCore& core, std::string_view line) {
  if (askedPassword_) {
    askedPassword_ = false;
    const PlayerAccount* acc = core.account(chosen_);
    if (acc && line == acc->password) {
      if (core.nameInUse(chosen_)) return {Step::kNameInUse, chosen_, "", ""};
      return {Step::kRegistered, chosen_, "", ""};
    }
    if (--passwordTries_ <= 0) return {Step::kTooManyWrong, chosen_, "", ""};
    return {Step::kWrongPassword, chosen_, "", ""};
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
  std::string shown = "\"" + chosen + "\"";
  if (core.nameInUse(shown)) return {Step::kNameInUse, shown, "", ""};
  return {Step::kGuest, shown, chosen, ""};
}

}  // namespace kelva::world
