#include "world/core/world_accounts.h"

namespace kelva::world {

Status importPlayers(AccountStore& store, const std::vector<PlayerAccount>& players, auth::HashCost cost,
                     const std::function<void(const std::string&)>& warn) {
  for (const PlayerAccount& p : players) {
    if (p.passwordHash.empty())
      warn("the world file gives " + p.name +
           "'s password in clear; give passwordHash instead (kelva-world hash-password prints it)");
    if (store.find(p.name)) continue;
    AccountRecord record{p.name, p.passwordHash, false, 0};
    if (record.passwordHash.empty()) {
      Result<std::string> hash = auth::hashPassword(p.password, cost);
      if (!hash.isOk()) return Status::error("the password of " + p.name + ": " + hash.status().message());
      record.passwordHash = hash.value();
    }
    if (Status s = store.add(record); !s.isOk()) return s;
  }
  return Status::ok();
}

}  // namespace kelva::world
