#include "world/store/object_changes.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <filesystem>

#include "world/store/data_dir_lock.h"

namespace kelva::world {

Status ObjectChanges::keep(const WorldObject& o) {
  return store_.change("keep the change of object " + std::to_string(o.number), [&] {
    SQLite::Statement q(*store_.db_,
                        "INSERT OR REPLACE INTO object_changes (number, model, description, action, x, y, z, yaw, owner)"
                        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.bind(1, o.number);
    q.bind(2, o.model);
    q.bind(3, o.description);
    q.bind(4, o.action);
    q.bind(5, o.x);
    q.bind(6, o.y);
    q.bind(7, o.z);
    q.bind(8, int32_t{o.yaw});
    q.bind(9, o.owner);
    q.exec();
  });
}

Result<std::vector<WorldObject>> ObjectChanges::all() const {
  try {
    std::vector<WorldObject> out;
    SQLite::Statement q(*store_.db_,
                        "SELECT number, model, description, action, x, y, z, yaw, owner FROM object_changes"
                        " ORDER BY number");
    while (q.executeStep()) {
      WorldObject o;
      o.number = q.getColumn(0).getInt();
      o.model = q.getColumn(1).getString();
      o.description = q.getColumn(2).getString();
      o.action = q.getColumn(3).getString();
      o.x = q.getColumn(4).getInt();
      o.y = q.getColumn(5).getInt();
      o.z = q.getColumn(6).getInt();
      o.yaw = static_cast<int16_t>(q.getColumn(7).getInt());
      o.owner = q.getColumn(8).getInt();
      out.push_back(std::move(o));
    }
    return out;
  } catch (const SQLite::Exception& e) {
    return Status::error("the object changes in " + store_.path() + " cannot be read: " + e.what());
  }
}

Result<std::size_t> ObjectChanges::forgetAll() {
  std::size_t forgotten = 0;
  Status s = store_.change("forget the object changes", [&] {
    forgotten = static_cast<std::size_t>(store_.db_->exec("DELETE FROM object_changes"));
  });
  if (!s.isOk()) return s;
  return forgotten;
}

Result<std::size_t> resetObjects(const std::string& dataDir) {
  Result<FileLock> alone = DataDirLock::take(dataDir, DataDirLock::Mode::kAlone);
  if (!alone.isOk()) return alone.status();
  // A folder without a store has nothing to forget; opening would make one.
  if (!std::filesystem::exists(AccountStore::pathIn(dataDir)))
    return Status::error("there is no world store (world.db) in " + dataDir);
  Result<std::unique_ptr<AccountStore>> store = AccountStore::open(AccountStore::pathIn(dataDir));
  if (!store.isOk()) return store.status();
  return ObjectChanges(*store.value()).forgetAll();
}

}  // namespace kelva::world
