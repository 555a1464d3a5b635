#include "app/roster_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/data_folder_lock.h"
#include "support/temp_folder.h"

namespace kelva::app {
namespace {

namespace fs = std::filesystem;

std::string line(const std::string& name, int level = 1) {
  return name + "," + std::to_string(level) +
         ",Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
}

// A data folder on the real disk (the lock is the kernel's).
class RosterTool : public ::testing::Test {
 protected:
  void writeStats(const std::string& bytes) { folder.write("stats.txt", bytes); }
  std::string read(const std::string& name) { return folder.read(name); }
  int run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--data-dir", dir.string()});
    auto request = parseRosterArguments(args);
    EXPECT_TRUE(request.isOk());
    out.str("");
    err.str("");
    return runRosterTool(request.value(), files, out, err);
  }

  testing::TempFolder folder{"roster_test"};
  const fs::path& dir = folder.path;
  DiskFileSystem files;
  std::ostringstream out, err;
};

TEST_F(RosterTool, ListsSlotNameLevelAndGuestsAndFlagsSlotsTheGameNeverFinds) {
  std::string bytes = line("Kaya", 3) + line("\"mira\"");
  for (int i = 2; i <= 101; ++i) bytes += line("P" + std::to_string(i));
  writeStats(bytes);
  EXPECT_EQ(run({}), 0);
  const std::string listing = out.str();
  EXPECT_NE(listing.find("0  Kaya  level 3  registered\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("1  \"mira\"  level 1  guest\n"), std::string::npos);
  EXPECT_NE(listing.find("100  P100  level 1  registered\n"), std::string::npos);
  EXPECT_NE(listing.find("101  P101  level 1  registered  (not found by the game)\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / kRosterBackupFileName)) << "listing must not write";
}

TEST_F(RosterTool, RemovesNamedCharactersAndGuestsKeepingTheOldFileAsBackup) {
  const std::string old = line("Kaya", 3) + line("\"mira\"") + line("Rolf") + line("\"x y\"") + line("Bob");
  writeStats(old);
  EXPECT_EQ(run({"--remove", "Rolf", "Bob", "--remove-guests"}), 0) << err.str();
  EXPECT_EQ(read("stats.txt"), line("Kaya", 3));
  EXPECT_EQ(read(kRosterBackupFileName), old);
  EXPECT_NE(out.str().find("Removed 4 characters"), std::string::npos);
}

TEST_F(RosterTool, ChangesNothingOnAMistake) {
  const std::string old = line("Kaya") + line("Rolf");
  writeStats(old);
  // A name no character has, even in another letter case.
  EXPECT_EQ(run({"--remove", "Rolf", "kaya"}), 2);
  EXPECT_EQ(read("stats.txt"), old);
  // A bot runs on the folder.
  {
    auto held = DataFolderLock::acquire(dir.string());
    ASSERT_TRUE(held.isOk());
    EXPECT_EQ(run({"--remove", "Rolf"}), 4);
    EXPECT_NE(err.str().find("another kelvabot is running"), std::string::npos) << err.str();
    EXPECT_EQ(read("stats.txt"), old);
  }
  // A stats file that does not load whole.
  writeStats(old + "Broken,1,Human\r\n");
  EXPECT_EQ(run({"--remove", "Rolf"}), 3);
  EXPECT_EQ(read("stats.txt"), old + "Broken,1,Human\r\n");
  EXPECT_FALSE(fs::exists(dir / kRosterBackupFileName));
  // And once the lock is free again, the removal goes through.
  writeStats(old);
  EXPECT_EQ(run({"--remove", "Rolf"}), 0);
  EXPECT_EQ(read("stats.txt"), line("Kaya"));
}

TEST_F(RosterTool, RenamesAGuestsCharacterToTheAccountNameOrChangesNothing) {
  const std::string old = line("Kaya") + line("\"mira\"", 7) + line("\"rolf\"") + line("Rolf", 2);
  writeStats(old);
  // The account name already has a character: the two are never merged.
  EXPECT_EQ(run({"--rename", "\"rolf\"", "Rolf"}), 2);
  EXPECT_NE(err.str().find("Rolf already has a character"), std::string::npos) << err.str();
  // Not a guest's name, a guest's name as the target, a name no one has.
  EXPECT_EQ(run({"--rename", "Kaya", "Kay"}), 2);
  EXPECT_EQ(run({"--rename", "\"mira\"", "\"mia\""}), 2);
  EXPECT_EQ(run({"--rename", "\"mia\"", "mia"}), 2);
  EXPECT_EQ(run({"--rename", "\"mira\"", "mi,ra"}), 2);
  EXPECT_EQ(read("stats.txt"), old);
  {
    auto held = DataFolderLock::acquire(dir.string());
    ASSERT_TRUE(held.isOk());
    EXPECT_EQ(run({"--rename", "\"mira\"", "mira"}), 4);
    EXPECT_EQ(read("stats.txt"), old);
  }
  // Renamed in its slot, level and all; with --remove-guests the renamed
  // character is no guest any more and stays.
  EXPECT_EQ(run({"--rename", "\"mira\"", "mira", "--remove-guests"}), 0) << err.str();
  EXPECT_EQ(read("stats.txt"), line("Kaya") + line("mira", 7) + line("Rolf", 2));
  EXPECT_EQ(read(kRosterBackupFileName), old);
  EXPECT_NE(out.str().find("1  mira  level 7  registered\n"), std::string::npos) << out.str();
}

TEST(RosterArguments, NeedADataFolderAndNamesAfterRemove) {
  EXPECT_FALSE(parseRosterArguments({"--data-dir", "d", "--rename", "\"a\""}).isOk());
  EXPECT_FALSE(parseRosterArguments({"--data-dir", "d", "--rename", "\"a\"", "a", "--rename", "\"b\"", "b"}).isOk());
  EXPECT_FALSE(parseRosterArguments({}).isOk());
  EXPECT_FALSE(parseRosterArguments({"--data-dir", "d", "--remove"}).isOk());
  EXPECT_FALSE(parseRosterArguments({"--data-dir", "d", "--remove", "--remove-guests"}).isOk());
  EXPECT_FALSE(parseRosterArguments({"--data-dir", "d", "--bogus"}).isOk());
  auto ok = parseRosterArguments({"--remove", "A", "\"b\"", "--data-dir=d"});
  ASSERT_TRUE(ok.isOk());
  EXPECT_EQ(ok.value().dataDir, "d");
  EXPECT_EQ(ok.value().remove, (std::vector<std::string>{"A", "\"b\""}));
}

// One holder at a time, and released with its holder: the roster tool's
// tests above, run while a lock is held and again once it is free.
TEST(DataFolderLock, AMissingFolderIsRefused) {
  testing::TempFolder folder("lock_test");
  auto missing = DataFolderLock::acquire((folder.path / "nowhere").string());
  ASSERT_FALSE(missing.isOk());
  EXPECT_NE(missing.status().message().find("cannot use the data folder"), std::string::npos);
}

}  // namespace
}  // namespace kelva::app
