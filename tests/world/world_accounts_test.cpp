// The world's accounts across restarts, through the player port: the world
// file's players are hashed into the data folder's store, the store answers
// the log-ins of the next run, and a damaged store keeps the world shut.
#include "world/core/world_accounts.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "world/server_fixture.h"

namespace kelva::world {
namespace {

using kelva::testing::LineClient;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;

ServerOptions inFolder(const TempFolder& dir) { return ServerRunner::freePortsIn(dir.path); }

TEST(WorldAccounts, TheStoreAnswersLogInsAfterARestartAndHoldsNoPasswordInClear) {
  TempFolder dir("world_accounts_restart");
  WorldDefinition def = kelva::testing::demoDefinition();
  def.players = {{"Ann", "annpw-secret", ""}};
  {
    ServerRunner first(def, inFolder(dir));
    ASSERT_TRUE(first.started()) << first.log();
    EXPECT_NE(first.log().find("Ann's password in clear"), std::string::npos) << first.log();
  }
  // The next run's file knows Ann by a hash only; the store's hash stands.
  def.players = {{"Ann", "", "$argon2id$v=19$m=8,t=1,p=1$c29tZXNhbHQ$notthisone"}};
  ServerRunner second(def, inFolder(dir));
  ASSERT_TRUE(second.started()) << second.log();

  // Neither the first run's demo password nor the file's new hash lets in.
  LineClient wrong(second.playerPort());
  for (const char* guess : {"annpw", "annpw-secret "}) {
    wrong.send("Ann");
    ASSERT_TRUE(wrong.waitForContaining("Password?"));
    wrong.send(guess);
    EXPECT_TRUE(wrong.waitForLine("* Wrong password. What is your name?")) << guess;
  }

  LineClient ann(second.playerPort());
  kelva::testing::enter(ann, "Ann", "annpw-secret");

  std::string stored;
  for (const char* file : {"world.db", "world.db-wal"}) stored += dir.read(std::string("data/") + file);
  EXPECT_NE(stored.find("$argon2id$"), std::string::npos);
  EXPECT_EQ(stored.find("annpw-secret"), std::string::npos);
}

TEST(WorldAccounts, ADamagedStoreKeepsTheWorldShutAndIsNamed) {
  TempFolder dir("world_accounts_damaged");
  std::filesystem::create_directories(dir.path / "data");
  dir.write("data/world.db", std::string(4096, '\x13'));
  ServerRunner runner(kelva::testing::demoDefinition(), inFolder(dir));
  EXPECT_FALSE(runner.started());
  const std::string before = dir.read("data/world.db");
  EXPECT_EQ(before, std::string(4096, '\x13'));
}

// A world file's hash goes into the store as it is; the file's later
// players join a store that already has accounts.
TEST(WorldAccounts, ImportKeepsTheStoresHashAndAddsNewPlayers) {
  auto opened = AccountStore::open(":memory:");
  ASSERT_TRUE(opened.isOk());
  AccountStore& store = *opened.value();
  int warnings = 0;
  auto warn = [&](const std::string&) { ++warnings; };
  ASSERT_TRUE(importPlayers(store, {{"Ann", "", "$argon2id$ann"}}, auth::HashCost::kMinimum, warn).isOk());
  EXPECT_EQ(warnings, 0);
  ASSERT_TRUE(store.setPasswordHash("Ann", "$argon2id$changed").isOk());
  ASSERT_TRUE(importPlayers(store, {{"Ann", "", "$argon2id$ann"}, {"Bo", "bopw", ""}}, auth::HashCost::kMinimum, warn)
                  .isOk());
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(store.find("Ann")->passwordHash, "$argon2id$changed");
  ASSERT_TRUE(store.find("Bo"));
  EXPECT_TRUE(auth::verifyPassword(store.find("Bo")->passwordHash, "bopw"));
  EXPECT_FALSE(auth::verifyPassword(store.find("Bo")->passwordHash, "bopw "));
}

}  // namespace
}  // namespace kelva::world
