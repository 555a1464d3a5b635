// What the world's administrators change in the store: removing an account,
// making it an administrator or not, and its ban. Each change is one
// statement in its own transaction; a name that is no account changes
// nothing and says so.
#include <SQLiteCpp/SQLiteCpp.h>

#include "world/store/account_store.h"

namespace kelva::world {

Status AccountStore::changeAccount(const std::string& what, const std::string& sql, const std::string& name,
                                   const std::function<void(SQLite::Statement&)>& bind) {
  bool found = false;
  Status s = change(what, [&] {
    SQLite::Statement q(*db_, sql);
    bind(q);
    found = q.exec() == 1;
  });
  if (s.isOk() && !found) return Status::error("there is no account " + name);
  return s;
}

Status AccountStore::remove(const std::string& name) {
  return changeAccount("remove " + name, "DELETE FROM accounts WHERE name = ?", name,
                       [&](SQLite::Statement& q) { q.bind(1, name); });
}

Status AccountStore::setAdmin(const std::string& name, bool admin) {
  return changeAccount(std::string(admin ? "make " : "unmake ") + name + " an administrator",
                       "UPDATE accounts SET admin = ? WHERE name = ?", name, [&](SQLite::Statement& q) {
                         q.bind(1, admin ? 1 : 0);
                         q.bind(2, name);
                       });
}

Status AccountStore::setBannedUntil(const std::string& name, int64_t until) {
  return changeAccount(std::string(until ? "ban " : "unban ") + name, "UPDATE accounts SET banned_until = ? WHERE name = ?",
                       name, [&](SQLite::Statement& q) {
                         q.bind(1, until);
                         q.bind(2, name);
                       });
}

}  // namespace kelva::world
