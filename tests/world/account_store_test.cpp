#include "world/store/account_store.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "world/store/name_fold.h"

namespace kelva::world {
namespace {

using kelva::testing::TempFolder;

std::unique_ptr<AccountStore> openOrFail(const std::string& path) {
  auto opened = AccountStore::open(path);
  EXPECT_TRUE(opened.isOk()) << opened.status().message();
  return opened.isOk() ? std::move(opened.value()) : nullptr;
}

TEST(AccountStore, AccountsLastAcrossReopeningAndTheSchemaIsCurrent) {
  TempFolder dir("account_store_reopen");
  const std::string path = AccountStore::pathIn(dir.path.string());
  {
    auto store = openOrFail(path);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->schemaVersion(), AccountStore::kSchemaVersion);
    ASSERT_TRUE(store->add({"Mira", "$argon2id$hash1", false, 0}).isOk());
    EXPECT_FALSE(store->add({"Mira", "$argon2id$other", false, 0}).isOk());
    ASSERT_TRUE(store->setPasswordHash("Mira", "$argon2id$hash2").isOk());
    EXPECT_FALSE(store->setPasswordHash("Nobody", "x").isOk());
  }
  auto again = openOrFail(path);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->schemaVersion(), AccountStore::kSchemaVersion);
  ASSERT_EQ(again->count(), 1u);
  std::optional<AccountRecord> mira = again->find("Mira");
  ASSERT_TRUE(mira);
  EXPECT_EQ(mira->passwordHash, "$argon2id$hash2");
  EXPECT_FALSE(again->find("mira"));
  EXPECT_EQ(again->lookAlike("MIRA"), "Mira");
}

// A real store with its pages overwritten past the header. (A file that is
// no store at all is refused by name in the accounts tool's test.)
TEST(AccountStore, ADamagedStoreIsRefused) {
  TempFolder dir("account_store_damaged");
  const std::string path = (dir.path / "cut.db").string();
  {
    auto store = openOrFail(path);
    ASSERT_TRUE(store);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(store->add({"n" + std::to_string(i), std::string(200, 'h')}).isOk());
  }
  std::string bytes = dir.read("cut.db");
  std::filesystem::remove(dir.path / "cut.db-wal");
  std::filesystem::remove(dir.path / "cut.db-shm");
  ASSERT_GT(bytes.size(), 8192u);
  for (std::size_t i = 4096; i < bytes.size(); i += 7) bytes[i] = '\x5a';
  dir.write("cut.db", bytes);
  EXPECT_FALSE(AccountStore::open(path).isOk());
}

// A full disk refuses the one change and the store goes on with what it had.
TEST(AccountStore, AFullDiskRefusesOneChangeAndKeepsTheRest) {
  TempFolder dir("account_store_full");
  auto store = openOrFail((dir.path / "world.db").string());
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->add({"Ann", "$argon2id$ann"}).isOk());
  store->capGrowth(0);
  Status refused = Status::ok();
  for (int i = 0; i < 100 && refused.isOk(); ++i) refused = store->add({"big" + std::to_string(i), std::string(3000, 'h')});
  ASSERT_FALSE(refused.isOk());
  EXPECT_NE(refused.message().find("disk is full"), std::string::npos) << refused.message();
  EXPECT_TRUE(store->find("Ann"));
  store->capGrowth(100);
  EXPECT_TRUE(store->add({"Bo", "$argon2id$bo"}).isOk());
}

TEST(LookAlikeFold, CaseDigitsAndOtherScriptsFoldTogether) {
  EXPECT_EQ(lookAlikeFold("Mira"), lookAlikeFold("mIRA"));
  EXPECT_EQ(lookAlikeFold("Mira"), lookAlikeFold("M1ra"));
  EXPECT_EQ(lookAlikeFold("Mira"), lookAlikeFold("Mlra"));
  EXPECT_EQ(lookAlikeFold("Bob"), lookAlikeFold("B0b"));
  EXPECT_EQ(lookAlikeFold("Mira"), lookAlikeFold("M\xD1\x96ra"));      // Cyrillic і
  EXPECT_EQ(lookAlikeFold("Kaya"), lookAlikeFold("K\xD0\xB0ya"));      // Cyrillic а
  EXPECT_EQ(lookAlikeFold("Kaya"), lookAlikeFold("\xEF\xBC\xAB" "aya"));  // full-width K
  EXPECT_EQ(lookAlikeFold("Opa"), lookAlikeFold("\xCE\x9Fpa"));        // Greek Omicron
  EXPECT_NE(lookAlikeFold("Mira"), lookAlikeFold("Mora"));
  EXPECT_NE(lookAlikeFold("Mira"), lookAlikeFold("Miras"));
  // Letters drawn like no Latin one stay themselves.
  EXPECT_EQ(lookAlikeFold("\xD0\x96" "ora"), "\xD0\x96" "ora");
  // Bytes that are no UTF-8 are kept, not dropped.
  EXPECT_EQ(lookAlikeFold("a\xC3"), "a\xC3");
}

}  // namespace
}  // namespace kelva::world
