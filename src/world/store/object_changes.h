// The objects the bots changed, kept in the world's store (world.db) so that
// a picked shroom or a moved stall still stands after the world restarts.
// The world file is the first state; these changes lie over it, one row per
// object number holding what the object became last. Each change is written
// in its own transaction before the world shows it: a change that cannot be
// written (a full disk) is refused and the world is as it was.
//
// Used from the world's thread, like the store it writes to.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/result.h"
#include "data/world_object.h"
#include "world/store/account_store.h"

namespace kelva::world {

class ObjectChanges {
 public:
  // `store` must outlive this.
  explicit ObjectChanges(AccountStore& store) : store_(store) {}

  // Keeps what object `object.number` is now (its label stays the world
  // file's and is not kept).
  Status keep(const WorldObject& object);
  // Every kept change, in ascending object number.
  Result<std::vector<WorldObject>> all() const;
  // Forgets every kept change: the world file alone counts again. Answers
  // how many were forgotten.
  Result<std::size_t> forgetAll();

 private:
  AccountStore& store_;
};

// `kelva-world reset-objects`: forgets the object changes kept in the data
// folder's store. Refused while a world runs on that folder (it would keep
// showing, and writing, the changes it has); the message says so.
Result<std::size_t> resetObjects(const std::string& dataDir);

}  // namespace kelva::world
