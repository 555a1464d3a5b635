#include "world/store/account_store.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <filesystem>

#include "world/store/name_fold.h"

namespace kelva::world {

namespace {

// One function per schema version: migrations[v - 1] brings a store at
// version v - 1 to version v. Never change one that has shipped; add the next.
void toVersion1(SQLite::Database& db) {
  db.exec(
      "CREATE TABLE accounts ("
      "  name TEXT PRIMARY KEY NOT NULL,"
      "  fold TEXT NOT NULL,"
      "  password_hash TEXT NOT NULL,"
      "  admin INTEGER NOT NULL DEFAULT 0,"
      "  banned_until INTEGER NOT NULL DEFAULT 0)");
  db.exec("CREATE INDEX accounts_by_fold ON accounts(fold)");
}

// What the bots made of the world's objects (object_changes.h): the last
// state of each changed object, by its number.
void toVersion2(SQLite::Database& db) {
  db.exec(
      "CREATE TABLE object_changes ("
      "  number INTEGER PRIMARY KEY NOT NULL,"
      "  model TEXT NOT NULL,"
      "  description TEXT NOT NULL,"
      "  action TEXT NOT NULL,"
      "  x INTEGER NOT NULL,"
      "  y INTEGER NOT NULL,"
      "  z INTEGER NOT NULL,"
      "  yaw INTEGER NOT NULL,"
      "  owner INTEGER NOT NULL)");
}

using Migration = void (*)(SQLite::Database&);
constexpr Migration kMigrations[] = {toVersion1, toVersion2};
static_assert(std::size(kMigrations) == AccountStore::kSchemaVersion);

AccountRecord readRecord(SQLite::Statement& q) {
  AccountRecord r;
  r.name = q.getColumn(0).getString();
  r.passwordHash = q.getColumn(1).getString();
  r.admin = q.getColumn(2).getInt() != 0;
  r.bannedUntil = q.getColumn(3).getInt64();
  return r;
}

}  // namespace

std::string AccountStore::pathIn(const std::string& dataDir) {
  return (std::filesystem::path(dataDir) / "world.db").string();
}

AccountStore::AccountStore(std::unique_ptr<SQLite::Database> db, std::string path)
    : db_(std::move(db)), path_(std::move(path)) {}

AccountStore::~AccountStore() = default;

Result<std::unique_ptr<AccountStore>> AccountStore::open(const std::string& path) {
  const std::string named = "the world's store " + path;
  try {
    auto db = std::make_unique<SQLite::Database>(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    // Another process (the accounts command) may write while the world
    // runs: wait for it a little instead of failing at once.
    db->setBusyTimeout(2000);
    // A file that is no database, or a damaged one, fails here: the first
    // read of its pages.
    SQLite::Statement check(*db, "PRAGMA quick_check");
    while (check.executeStep()) {
      const std::string verdict = check.getColumn(0).getString();
      if (verdict != "ok") return Status::error(named + " is damaged (" + verdict + ")");
    }
    if (path != ":memory:") db->exec("PRAGMA journal_mode=WAL");
    db->exec("PRAGMA synchronous=NORMAL");
    std::unique_ptr<AccountStore> store(new AccountStore(std::move(db), path));
    if (Status s = store->migrate(); !s.isOk()) return Status::error(named + ": " + s.message());
    return store;
  } catch (const SQLite::Exception& e) {
    return Status::error(named + " cannot be opened or is damaged: " + e.what());
  }
}

Status AccountStore::migrate() {
  db_->exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
  int version = schemaVersion();
  if (version > kSchemaVersion)
    return Status::error("it was written by a newer world (schema version " + std::to_string(version) +
                         ", this world knows up to " + std::to_string(kSchemaVersion) + ")");
  for (; version < kSchemaVersion; ++version) {
    Status s = change("bring the schema to version " + std::to_string(version + 1), [&] {
      kMigrations[version](*db_);
      db_->exec("DELETE FROM schema_version");
      SQLite::Statement set(*db_, "INSERT INTO schema_version (version) VALUES (?)");
      set.bind(1, version + 1);
      set.exec();
    });
    if (!s.isOk()) return s;
  }
  return Status::ok();
}

int AccountStore::schemaVersion() const {
  SQLite::Statement q(*db_, "SELECT version FROM schema_version");
  return q.executeStep() ? q.getColumn(0).getInt() : 0;
}

Status AccountStore::change(const std::string& what, const std::function<void()>& statements) {
  try {
    SQLite::Transaction t(*db_);
    statements();
    t.commit();
    return Status::ok();
  } catch (const SQLite::Exception& e) {
    const int code = e.getErrorCode();
    if (code == SQLITE_FULL) return Status::error("could not " + what + ": the disk is full");
    return Status::error("could not " + what + ": " + e.what());
  }
}

std::optional<AccountRecord> AccountStore::find(const std::string& name) const {
  try {
    SQLite::Statement q(*db_, "SELECT name, password_hash, admin, banned_until FROM accounts WHERE name = ?");
    q.bind(1, name);
    if (q.executeStep()) return readRecord(q);
  } catch (const SQLite::Exception&) {
  }
  return std::nullopt;
}

std::string AccountStore::lookAlike(const std::string& name) const {
  try {
    SQLite::Statement q(*db_, "SELECT name FROM accounts WHERE fold = ? LIMIT 1");
    q.bind(1, lookAlikeFold(name));
    if (q.executeStep()) return q.getColumn(0).getString();
  } catch (const SQLite::Exception&) {
  }
  return "";
}

std::size_t AccountStore::count() const {
  SQLite::Statement q(*db_, "SELECT COUNT(*) FROM accounts");
  return q.executeStep() ? static_cast<std::size_t>(q.getColumn(0).getInt64()) : 0;
}

std::vector<AccountRecord> AccountStore::all() const {
  std::vector<AccountRecord> out;
  SQLite::Statement q(*db_, "SELECT name, password_hash, admin, banned_until FROM accounts ORDER BY name");
  while (q.executeStep()) out.push_back(readRecord(q));
  return out;
}

Status AccountStore::add(const AccountRecord& a) {
  if (find(a.name)) return Status::error("the name " + a.name + " is registered already");
  return change("register " + a.name, [&] {
    SQLite::Statement q(*db_,
                        "INSERT INTO accounts (name, fold, password_hash, admin, banned_until) VALUES (?, ?, ?, ?, ?)");
    q.bind(1, a.name);
    q.bind(2, lookAlikeFold(a.name));
    q.bind(3, a.passwordHash);
    q.bind(4, a.admin ? 1 : 0);
    q.bind(5, static_cast<int64_t>(a.bannedUntil));
    q.exec();
  });
}

Status AccountStore::setPasswordHash(const std::string& name, const std::string& hash) {
  return changeAccount("change the password of " + name, "UPDATE accounts SET password_hash = ? WHERE name = ?", name,
                       [&](SQLite::Statement& q) {
                         q.bind(1, hash);
                         q.bind(2, name);
                       });
}

void AccountStore::capGrowth(int pages) {
  SQLite::Statement count(*db_, "PRAGMA page_count");
  const int now = count.executeStep() ? count.getColumn(0).getInt() : 0;
  db_->exec("PRAGMA max_page_count = " + std::to_string(now + pages));
}

}  // namespace kelva::world
