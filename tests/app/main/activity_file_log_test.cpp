#include "app/main/activity_file_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/temp_folder.h"

namespace kelva::app {
namespace {

namespace fs = std::filesystem;

class ActivityFile : public ::testing::Test {
 protected:
  std::string read(const std::string& name) { return folder.read(name); }
  testing::TempFolder folder{"activity_test"};
  const fs::path& dir = folder.path;
};

TEST_F(ActivityFile, TimestampsEachEventAndContinuesTheFileOfTheLastRun) {
  {
    auto log = ActivityFileLog::open(dir.string());
    ASSERT_TRUE(log.isOk()) << log.status().message();
    log.value()->record("Kelvabot logged in to DemoWorld");
  }
  auto again = ActivityFileLog::open(dir.string());
  ASSERT_TRUE(again.isOk());
  again.value()->record("\"mira\" arrived");
  // Written through: readable before the log closes.
  const std::string text = read(kActivityLogFileName);
  const std::regex lines(
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Kelvabot logged in to DemoWorld\n)"
      R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} "mira" arrived\n)");
  EXPECT_TRUE(std::regex_match(text, lines)) << text;
}

TEST_F(ActivityFile, RotatesBySizeAndKeepsAFewOldFiles) {
  auto log = ActivityFileLog::open(dir.string(), 400, 2);
  ASSERT_TRUE(log.isOk());
  for (int i = 0; i < 100; ++i) log.value()->record("event number " + std::to_string(i));
  for (const char* name : {"activity.log", "activity.1.log", "activity.2.log"}) {
    ASSERT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_LE(fs::file_size(dir / name), 400u) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "activity.3.log"));
  EXPECT_NE(read("activity.log").find("event number 99\n"), std::string::npos);
}

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST_F(ActivityFile, TheLogIsTheOwnersAloneUnlessTheOperatorSaidOtherwiseAlsoAfterRotating) {
  const mode_t oldMask = ::umask(022);
  {
    auto log = ActivityFileLog::open(dir.string());
    ASSERT_TRUE(log.isOk());
    log.value()->record("first");
  }
  EXPECT_EQ(modeOf(dir / "activity.log"), 0600u);
  ASSERT_EQ(::chmod((dir / "activity.log").c_str(), 0640), 0);
  auto log = ActivityFileLog::open(dir.string(), 400, 2);
  ASSERT_TRUE(log.isOk());
  for (int i = 0; i < 30; ++i) log.value()->record("event number " + std::to_string(i));
  ::umask(oldMask);
  ASSERT_TRUE(fs::exists(dir / "activity.1.log"));
  for (const char* name : {"activity.log", "activity.1.log"}) EXPECT_EQ(modeOf(dir / name), 0640u) << name;
}

TEST_F(ActivityFile, AFolderThatCannotHoldTheLogIsReported) {
  // A path through a plain file cannot be made a folder.
  std::ofstream(dir / "file") << "x";
  auto blocked = ActivityFileLog::open((dir / "file" / "sub").string());
  ASSERT_FALSE(blocked.isOk());
  EXPECT_NE(blocked.status().message().find("cannot open the activity log"), std::string::npos);
}

}  // namespace
}  // namespace kelva::app
