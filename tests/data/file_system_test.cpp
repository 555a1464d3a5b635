#include "data/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "support/temp_folder.h"

namespace kelva {
namespace {

using testing::TempFolder;

std::string file(const TempFolder& dir, const std::string& name) { return (dir.path / name).string(); }

std::set<std::string> names(const TempFolder& dir) {
  std::set<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) out.insert(e.path().filename().string());
  return out;
}

enum class Call { kOpen, kWrite, kFsync, kClose, kRename };

// The real calls, except that the Nth call of one kind fails with a chosen
// errno, as a full disk (ENOSPC) or a failing one (EIO) would make it fail.
// Writes can also be cut short, and every call is counted.
class FaultyCalls : public DiskCalls {
 public:
  Call failing = Call::kOpen;
  int failOnCall = 0;  // 0: nothing fails
  int error = EIO;
  std::size_t maxWrite = 0;  // 0: writes are not cut short
  int interruptEvery = 0;    // every Nth write first fails with EINTR
  std::map<Call, int> counts;
  std::vector<std::string> opened;

  int open(const char* path, int flags, mode_t mode) override {
    if (fails(Call::kOpen)) return -1;
    opened.emplace_back(path);
    return DiskCalls::open(path, flags, mode);
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    if (interruptEvery > 0 && ++writesSeen_ % interruptEvery == 0) {
      errno = EINTR;
      return -1;
    }
    if (fails(Call::kWrite)) return -1;
    if (maxWrite > 0 && size > maxWrite) size = maxWrite;
    return DiskCalls::write(fd, data, size);
  }
  int fsync(int fd) override { return fails(Call::kFsync) ? -1 : DiskCalls::fsync(fd); }
  int close(int fd) override {
    if (fails(Call::kClose)) {
      DiskCalls::close(fd);  // the descriptor is gone either way, as on Linux
      return -1;
    }
    return DiskCalls::close(fd);
  }
  int rename(const char* from, const char* to) override {
    return fails(Call::kRename) ? -1 : DiskCalls::rename(from, to);
  }

 private:
  int writesSeen_ = 0;
  bool fails(Call c) {
    const int n = ++counts[c];
    if (failOnCall == 0 || c != failing || n != failOnCall) return false;
    errno = error;
    return true;
  }
};

const std::string kOld = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";

struct Fault {
  Call call;
  int nth;
  const char* reported;  // what the message names
};

// Every step before the rename: the old file must come through untouched and
// no temporary file may stay behind.
const Fault kFaultsBeforeRename[] = {
    {Call::kOpen, 1, "cannot create"},      {Call::kWrite, 1, "cannot write"},
    {Call::kWrite, 3, "cannot write"},      {Call::kFsync, 1, "cannot flush"},
    {Call::kClose, 1, "cannot close"},      {Call::kRename, 1, "cannot rename over"},
};

TEST(DiskFileSystem, AFailureBeforeTheRenameKeepsTheOldFileAndTheNextReplaceSucceeds) {
  for (const int error : {ENOSPC, EIO}) {
    for (const Fault& f : kFaultsBeforeRename) {
      SCOPED_TRACE(std::string(f.reported) + " / " + std::strerror(error) + " on call " + std::to_string(f.nth));
      TempFolder dir("kelva_fs");
      const std::string path = file(dir, "stats.txt");
      dir.write("stats.txt", kOld);
      FaultyCalls calls;
      calls.failing = f.call;
      calls.failOnCall = f.nth;
      calls.error = error;
      calls.maxWrite = 4096;  // several writes, so the third one can fail
      DiskFileSystem disk(calls);
      const std::string fresh(20000, 'x');

      const Status s = disk.replaceFile(path, fresh);
      ASSERT_FALSE(s.isOk());
      EXPECT_NE(s.message().find(f.reported), std::string::npos) << s.message();
      EXPECT_NE(s.message().find(std::strerror(error)), std::string::npos) << s.message();
      EXPECT_EQ(dir.read("stats.txt"), kOld);
      EXPECT_EQ(names(dir), std::set<std::string>{"stats.txt"});

      calls.failOnCall = 0;
      ASSERT_TRUE(disk.replaceFile(path, fresh).isOk());
      EXPECT_EQ(dir.read("stats.txt"), fresh);
      EXPECT_EQ(names(dir), std::set<std::string>{"stats.txt"});
    }
  }
}

TEST(DiskFileSystem, TheFolderIsFlushedAfterTheFileAndItsFailureIsReportedWithTheNewFileInPlace) {
  TempFolder dir("kelva_fs");
  const std::string path = file(dir, "stats.txt");
  dir.write("stats.txt", kOld);
  FaultyCalls calls;
  calls.failing = Call::kFsync;
  calls.failOnCall = 2;
  calls.error = EIO;
  DiskFileSystem disk(calls);
  const Status s = disk.replaceFile(path, "new\r\n");
  // The file is flushed, then its folder; nothing is left open.
  ASSERT_EQ(calls.opened.size(), 2u);
  EXPECT_EQ(calls.opened[1], dir.path.string());
  EXPECT_EQ(calls.counts[Call::kClose], 2);
  ASSERT_FALSE(s.isOk());
  EXPECT_NE(s.message().find("cannot flush the folder"), std::string::npos) << s.message();
  // The rename cannot be taken back; the file is whole, and it is the new one.
  EXPECT_EQ(dir.read("stats.txt"), "new\r\n");
  EXPECT_EQ(names(dir), std::set<std::string>{"stats.txt"});
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(DiskFileSystem, AReplacedFileKeepsTheModeTheOperatorGaveItAndANewOneIsTheOwnersAlone) {
  TempFolder dir("kelva_fs");
  const std::string path = file(dir, "stats.txt");
  DiskFileSystem disk;
  const mode_t oldMask = ::umask(022);
  ASSERT_TRUE(disk.replaceFile(path, "new").isOk());
  EXPECT_EQ(modeOf(path), 0600u);
  // Kept whatever the umask would let through: tighter and looser alike.
  ::umask(077);
  for (const mode_t given : {mode_t{0640}, mode_t{0604}, mode_t{0400}}) {
    ASSERT_EQ(::chmod(path.c_str(), given), 0);
    ASSERT_TRUE(disk.replaceFile(path, "again").isOk());
    EXPECT_EQ(modeOf(path), given);
  }
  ::umask(oldMask);
  EXPECT_EQ(dir.read("stats.txt"), "again");
}

TEST(DiskFileSystem, EverySaveUsesATemporaryNameOfItsOwnAndSkipsLeftovers) {
  TempFolder dir("kelva_fs");
  const std::string path = file(dir, "stats.txt");
  FaultyCalls calls;
  DiskFileSystem disk(calls);
  DiskFileSystem other(calls);
  ASSERT_TRUE(disk.replaceFile(path, "a").isOk());
  ASSERT_TRUE(other.replaceFile(path, "b").isOk());
  ASSERT_TRUE(disk.replaceFile(path, "c").isOk());
  const std::set<std::string> temps{calls.opened[0], calls.opened[2], calls.opened[4]};
  EXPECT_EQ(temps.size(), 3u);
  for (const std::string& t : temps) EXPECT_EQ(t.rfind(dir.path.string() + "/", 0), 0u) << t;

  // A crashed run may have left a temporary file under the name the next
  // save would pick; that save takes another name and leaves it alone.
  const std::string used = std::filesystem::path(calls.opened[4]).filename().string();
  const std::size_t dash = used.rfind('-') + 1;
  const std::string leftover = used.substr(0, dash) + std::to_string(std::stoull(used.substr(dash)) + 1);
  dir.write(leftover, "leftover");
  ASSERT_TRUE(disk.replaceFile(path, "d").isOk());
  EXPECT_EQ(dir.read("stats.txt"), "d");
  EXPECT_EQ(dir.read(leftover), "leftover");
}

TEST(DiskFileSystem, TheFirstSaveRemovesWhatKilledRunsLeftButNotWhatALiveOneWrites) {
  TempFolder dir("kelva_fs");
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);  // now a process that no longer runs
  const std::string dead = "stats.txt.tmp-" + std::to_string(child) + "-7";
  const std::string live = "stats.txt.tmp-" + std::to_string(::getppid()) + "-3";
  const std::string otherFile = "objects.txt.tmp-" + std::to_string(child) + "-1";
  for (const std::string& n : {dead, live, otherFile, std::string("stats.txt.tmp-notes")}) {
    dir.write(n, "half a save");
  }
  DiskFileSystem disk;
  ASSERT_TRUE(disk.replaceFile(file(dir, "stats.txt"), kOld).isOk());
  EXPECT_EQ(names(dir), (std::set<std::string>{"stats.txt", live, otherFile, "stats.txt.tmp-notes"}));
}

TEST(DiskFileSystem, ReadsBackEveryByteOfShortAndInterruptedWritesAndTellsAMissingFileFromAnUnreadableOne) {
  TempFolder dir("kelva_fs");
  FaultyCalls calls;
  calls.maxWrite = 7;
  calls.interruptEvery = 3;
  DiskFileSystem disk(calls);
  auto missing = disk.readFile(file(dir, "none.txt"));
  ASSERT_TRUE(missing.isOk());
  EXPECT_FALSE(missing.value().has_value());

  std::string bytes(50000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(disk.replaceFile(file(dir, "big.txt"), bytes).isOk());
  auto read = disk.readFile(file(dir, "big.txt"));
  ASSERT_TRUE(read.isOk());
  EXPECT_EQ(*read.value(), bytes);

  // A folder where a file is expected exists but cannot be read as one.
  std::filesystem::create_directory(file(dir, "folder.txt"));
  EXPECT_FALSE(disk.readFile(file(dir, "folder.txt")).isOk());
}

}  // namespace
}  // namespace kelva
