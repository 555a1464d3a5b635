#include "world/core/world_accounts.h"

#include <charconv>
#include <ctime>

namespace kelva::world {

Status importPlayers(AccountStore& store, const std::vector<PlayerAccount>& players, auth::HashCost cost,
                     const std::function<void(const std::string&)>& warn) {
  for (const PlayerAccount& p : players) {
    if (p.passwordHash.empty())
      warn("the world file gives " + p.name +
           "'s password in clear; give passwordHash instead (kelva-world hash-password prints it)");
    if (std::optional<AccountRecord> known = store.find(p.name)) {
      // The host who writes "admin": true into the file means it from now
      // on, whatever the store says; leaving it out takes nothing away, so
      // a right given with the accounts tool lasts across restarts.
      if (p.admin && !known->admin) {
        if (Status s = store.setAdmin(p.name, true); !s.isOk()) return s;
      }
      continue;
    }
    AccountRecord record{p.name, p.passwordHash, p.admin, 0};
    if (record.passwordHash.empty()) {
      Result<std::string> hash = auth::hashPassword(p.password, cost);
      if (!hash.isOk()) return Status::error("the password of " + p.name + ": " + hash.status().message());
      record.passwordHash = hash.value();
    }
    if (Status s = store.add(record); !s.isOk()) return s;
  }
  return Status::ok();
}

Result<int64_t> banEndFrom(std::string_view minutes, int64_t now) {
  int64_t n = 0;
  auto [end, ec] = std::from_chars(minutes.data(), minutes.data() + minutes.size(), n);
  if (minutes.empty() || ec != std::errc() || end != minutes.data() + minutes.size() || n < 1 ||
      n > kMostBanMinutes)
    return Status::error("the minutes must be a whole number from 1 to " + std::to_string(kMostBanMinutes) +
                         " (leave them out for a ban until it is lifted), not " + std::string(minutes));
  return now + n * 60;
}

std::string banEndText(int64_t until) {
  if (until == kBannedForever) return "until an administrator lifts the ban";
  const std::time_t t = static_cast<std::time_t>(until);
  std::tm utc{};
  char text[32] = "";
  if (!::gmtime_r(&t, &utc) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &utc) == 0) return "for now";
  return std::string("until ") + text + " UTC";
}

}  // namespace kelva::world
