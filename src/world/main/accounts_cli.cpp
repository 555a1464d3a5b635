// The host's tool for the world's accounts. It opens the same store as the
// running world (write-ahead log, a busy timeout), so it may be used while
// the world runs: the world reads an account from the store at each log-in,
// so a ban, a removal or a new password counts from the next log-in on.
// Every change is told on standard error, which is the tool's log.
#include "world/main/accounts_cli.h"

#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "auth/password_hash.h"
#include "world/core/sign_up.h"
#include "world/core/world_accounts.h"
#include "world/store/account_store.h"

namespace kelva::world {

namespace {

const char* const kAccountsUsage =
    "usage: kelva-world accounts --data-dir DIR ACTION\n"
    "  list                   every account, whether it is an administrator, and its ban\n"
    "  add NAME               a new account; its password is read from standard input\n"
    "  remove NAME            removes the account\n"
    "  reset-password NAME    a new password, read from standard input\n"
    "  ban NAME [MINUTES]     keeps NAME out for MINUTES (1 to 5256000), or until unbanned\n"
    "  unban NAME             lifts the ban\n"
    "  admin NAME on|off      makes NAME an administrator of the world, or not\n"
    "Exit codes: 0 done, 1 refused (no such account, a name taken, a failed write),\n"
    "2 a wrong command line or password, 3 the store cannot be opened.\n";

constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kNoStore = 3;

int usage(const std::string& problem) {
  std::cerr << "kelva-world accounts: " << problem << "\n" << kAccountsUsage;
  return kUsage;
}

// The first line of standard input, without its line end; "" (told) when
// there is none or it is empty.
std::string passwordFromInput(const char* who) {
  std::string password;
  if (!std::getline(std::cin, password)) {
    std::cerr << who << " reads the password from standard input\n";
    return "";
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) std::cerr << who << ": the password is empty\n";
  return password;
}

// The hash of a password read from standard input, or "" (told).
std::string hashFromInput() {
  const std::string password = passwordFromInput("kelva-world accounts");
  if (password.empty()) return "";
  Result<std::string> hash = auth::hashPassword(password);
  if (!hash.isOk()) {
    std::cerr << "kelva-world accounts: " << hash.status().message() << "\n";
    return "";
  }
  return hash.value();
}

// The outcome of one change: logged when done, told when refused.
int outcome(const Status& s, const std::string& done) {
  if (!s.isOk()) {
    std::cerr << "kelva-world accounts: " << s.message() << "\n";
    return kRefused;
  }
  std::cerr << "kelva-world accounts: " << done << "\n";
  return 0;
}

int list(const AccountStore& store) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  for (const AccountRecord& a : store.all()) {
    std::cout << a.name;
    if (a.admin) std::cout << "  (administrator)";
    if (a.bannedAt(now)) std::cout << "  (banned " << banEndText(a.bannedUntil) << ")";
    std::cout << "\n";
  }
  return 0;
}

int add(AccountStore& store, const std::string& name) {
  if (std::string problem = accountNameProblem(name); !problem.empty())
    return outcome(Status::error("cannot add " + name + ": " + problem), "");
  if (store.find(name)) return outcome(Status::error(name + " is registered already"), "");
  if (std::string like = store.lookAlike(name); !like.empty())
    return outcome(Status::error("cannot add " + name + ": it looks too much like " + like + ", which is registered"),
                   "");
  const std::string hash = hashFromInput();
  if (hash.empty()) return kUsage;
  return outcome(store.add({name, hash, false, 0}), "added " + name);
}

}  // namespace

int hashPasswordCommand() {
  const std::string password = passwordFromInput("kelva-world: hash-password");
  if (password.empty()) return kUsage;
  Result<std::string> hash = auth::hashPassword(password);
  if (!hash.isOk()) {
    std::cerr << "kelva-world: " << hash.status().message() << "\n";
    return 1;
  }
  std::cout << hash.value() << "\n";
  return 0;
}

int accountsCommand(int argc, char** argv) {
  std::string dataDir;
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--data-dir") {
      if (i + 1 >= argc) return usage("--data-dir needs a folder");
      dataDir = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kAccountsUsage;
      return 0;
    } else if (arg.starts_with("--")) {
      return usage("unknown option " + std::string(arg));
    } else {
      words.emplace_back(arg);
    }
  }
  if (dataDir.empty()) return usage("--data-dir names the world's data folder");
  if (words.empty()) return usage("which action?");
  const std::string& action = words[0];
  const std::size_t wanted = action == "list" ? 1 : action == "admin" ? 3 : 2;
  const bool optionalLast = action == "ban";
  if (action != "list" && action != "add" && action != "remove" && action != "reset-password" && action != "ban" &&
      action != "unban" && action != "admin")
    return usage("unknown action " + action);
  if (words.size() != wanted && !(optionalLast && words.size() == wanted + 1))
    return usage("wrong number of words for " + action);

  int64_t until = kBannedForever;
  if (action == "ban" && words.size() == 3) {
    Result<int64_t> end = banEndFrom(words[2], static_cast<int64_t>(std::time(nullptr)));
    if (!end.isOk()) return usage(end.status().message());
    until = end.value();
  }
  if (action == "admin" && words[2] != "on" && words[2] != "off") return usage("admin NAME takes on or off");

  // A folder that does not exist is a typing error far more often than a
  // new world: the store is made only inside a folder that is there.
  std::error_code ec;
  if (!std::filesystem::is_directory(dataDir, ec)) {
    std::cerr << "kelva-world accounts: there is no folder " << dataDir << "\n";
    return kNoStore;
  }
  Result<std::unique_ptr<AccountStore>> opened = AccountStore::open(AccountStore::pathIn(dataDir));
  if (!opened.isOk()) {
    std::cerr << "kelva-world accounts: " << opened.status().message() << "\n";
    return kNoStore;
  }
  AccountStore& store = *opened.value();
  if (action == "list") return list(store);
  const std::string& name = words[1];
  if (action == "add") return add(store, name);
  if (action == "remove") return outcome(store.remove(name), "removed " + name);
  if (action == "unban") return outcome(store.setBannedUntil(name, 0), "lifted the ban of " + name);
  if (action == "ban") return outcome(store.setBannedUntil(name, until), "banned " + name + " " + banEndText(until));
  if (action == "admin") {
    const bool on = words[2] == "on";
    return outcome(store.setAdmin(name, on), name + (on ? " is an administrator" : " is no administrator"));
  }
  // reset-password: the name is checked before the password is read.
  if (!store.find(name)) return outcome(Status::error("there is no account " + name), "");
  const std::string hash = hashFromInput();
  if (hash.empty()) return kUsage;
  return outcome(store.setPasswordHash(name, hash), "set a new password for " + name);
}

}  // namespace kelva::world
