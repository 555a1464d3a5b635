// The world file's players hashed into the world's store, and a damaged
// store that keeps the world shut.
#include "world/core/world_accounts.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "world/server_fixture.h"

namespace kelva::world {
namespace {

using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;

TEST(WorldAccounts, ADamagedStoreKeepsTheWorldShutAndIsNamed) {
  TempFolder dir("world_accounts_damaged");
  std::filesystem::create_directories(dir.path / "data");
  dir.write("data/world.db", std::string(4096, '\x13'));
  ServerRunner runner(kelva::testing::demoDefinition(), ServerRunner::freePortsIn(dir.path));
  EXPECT_FALSE(runner.started());
  EXPECT_EQ(dir.read("data/world.db"), std::string(4096, '\x13'));
}

// A world file's hash goes into the store as it is, a password in clear is
// hashed with a warning; the file's later players join a store that already
// has accounts, whose hashes stand. "admin": true makes an administrator at
// every start, also of a player the store knew; leaving it out takes nothing
// away.
TEST(WorldAccounts, ImportKeepsTheStoresHashAndRightsAndAddsNewPlayers) {
  auto opened = AccountStore::open(":memory:");
  ASSERT_TRUE(opened.isOk());
  AccountStore& store = *opened.value();
  int warnings = 0;
  auto warn = [&](const std::string&) { ++warnings; };
  ASSERT_TRUE(importPlayers(store, {{"Ann", "", "$argon2id$ann"}}, auth::HashCost::kMinimum, warn).isOk());
  EXPECT_EQ(warnings, 0);
  ASSERT_TRUE(store.setPasswordHash("Ann", "$argon2id$changed").isOk());
  ASSERT_TRUE(store.add({"Tom", "$argon2id$tom", true, 0}).isOk());
  // Ann, whom the store knew as a player, is made an administrator; Tom,
  // made one with the accounts tool, stays one.
  const std::vector<PlayerAccount> players = {{"Ann", "", "$argon2id$ann", true},
                                              {"Bo", "bopw", ""},
                                              {"Tom", "", "$argon2id$tom"},
                                              {"Boss", "", "$argon2id$boss", true}};
  ASSERT_TRUE(importPlayers(store, players, auth::HashCost::kMinimum, warn).isOk());
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(store.find("Ann")->passwordHash, "$argon2id$changed");
  EXPECT_TRUE(store.find("Ann")->admin);
  EXPECT_TRUE(store.find("Tom")->admin);
  EXPECT_TRUE(store.find("Boss")->admin);
  ASSERT_TRUE(store.find("Bo"));
  EXPECT_FALSE(store.find("Bo")->admin);
  EXPECT_TRUE(auth::verifyPassword(store.find("Bo")->passwordHash, "bopw"));
}

}  // namespace
}  // namespace kelva::world
