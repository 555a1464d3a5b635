#include "world/core/sign_up.h"

namespace kelva::world {

std::string accountNameProblem(std::string_view name) {
  if (std::string problem = nameProblem(name); !problem.empty()) return problem;
  if (name.find(',') != std::string_view::npos) return "a name cannot hold a comma";
  if (name.front() == '"') return "a name cannot begin with \"";
  return "";
}

std::string signUpProblem(const WorldCore& core, std::string_view name, std::string_view password) {
  if (!core.definition().signUp || !core.accounts()) return "this world takes no new accounts";
  if (std::string problem = accountNameProblem(name); !problem.empty()) return problem;
  if (password.empty()) return "the password must not be empty";
  const std::string wanted(name);
  if (core.account(wanted)) return wanted + " is registered already";
  if (core.nameInUse(wanted)) return wanted + " is in the world";
  if (std::string like = core.accounts()->lookAlike(wanted); !like.empty())
    return wanted + " looks too much like " + like + ", which is registered";
  return "";
}

}  // namespace kelva::world
