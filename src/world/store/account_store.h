// The world's lasting accounts: one SQLite file (world.db) in the world's
// data folder, in write-ahead-log mode, every change in its own
// transaction. An account is a name, the Argon2id hash of its password
// (never the password), whether it is an administrator of the world and
// until when it is banned. The file carries its schema's version; opening
// an older file brings it up to date, one migration at a time, and a file
// made by a newer world is refused rather than guessed at.
//
// Opening fails, with a message that names the file, when the file cannot
// be opened, is no store or is damaged: the world then does not start. A
// change that cannot be written (a full disk) fails on its own and leaves
// the store as it was.
//
// The store is used from the world's thread only.
#pragma once

#include <cstdint>
#include <limits>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/result.h"

namespace SQLite {
class Database;
class Statement;
}

namespace kelva::world {

struct AccountRecord {
  std::string name;
  std::string passwordHash;
  bool admin = false;
  // Seconds since the epoch; 0: not banned; kBannedForever: until unbanned.
  int64_t bannedUntil = 0;
  // Whether the ban still holds at `now` (seconds since the epoch).
  bool bannedAt(int64_t now) const { return bannedUntil != 0 && now < bannedUntil; }
};

// A ban without an end: it holds until an administrator lifts it.
inline constexpr int64_t kBannedForever = std::numeric_limits<int64_t>::max();

class AccountStore {
 public:
  // The store's file in a data folder.
  static std::string pathIn(const std::string& dataDir);
  // Opens (or creates) the store at `path`; ":memory:" keeps the accounts
  // only as long as the store lives.
  static Result<std::unique_ptr<AccountStore>> open(const std::string& path);
  ~AccountStore();
  AccountStore(const AccountStore&) = delete;
  AccountStore& operator=(const AccountStore&) = delete;

  // The version this world writes; migrations() brings older files to it.
  static constexpr int kSchemaVersion = 2;
  int schemaVersion() const;

  // The account of exactly that name, or nullopt (also when the store
  // cannot be read: nobody logs in with a name the world cannot read).
  std::optional<AccountRecord> find(const std::string& name) const;
  // The name of an account that looks like `name` (lookAlikeFold), or "".
  std::string lookAlike(const std::string& name) const;
  std::size_t count() const;
  std::vector<AccountRecord> all() const;

  // A new account; an error when the name is taken or the write fails.
  Status add(const AccountRecord& account);
  // A new password hash for an existing account.
  Status setPasswordHash(const std::string& name, const std::string& hash);

  // What administrators change (account_admin.cpp). Each is an error when
  // there is no account of that name or the write fails; the store is then
  // as it was.
  Status remove(const std::string& name);
  Status setAdmin(const std::string& name, bool admin);
  // Seconds since the epoch, kBannedForever, or 0 to lift the ban.
  Status setBannedUntil(const std::string& name, int64_t until);

  // The file, as messages name it.
  const std::string& path() const { return path_; }

  // For tests of a full disk: the file may grow by no more than `pages`
  // pages of its current size from now on.
  void capGrowth(int pages);

 private:
  // The objects' table lives in the same file and transactions.
  friend class ObjectChanges;
  AccountStore(std::unique_ptr<SQLite::Database> db, std::string path);
  Status migrate();
  Status change(const std::string& what, const std::function<void()>& statements);
  // One UPDATE or DELETE of the account `name`, in its own transaction.
  Status changeAccount(const std::string& what, const std::string& sql, const std::string& name,
                       const std::function<void(SQLite::Statement&)>& bind);

  std::unique_ptr<SQLite::Database> db_;
  std::string path_;
};

}  // namespace kelva::world
