// A world whose disk fills up: kelva-world runs as a child that may write
// its files no further than a little past the store's size (RLIMIT_FSIZE,
// SIGXFSZ ignored, so a write past it fails as on a full disk). Bans and
// sign-ups are then refused with a clear message, nobody is told of a change
// that is not on disk, and the players already in keep playing.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "auth/password_hash.h"
#include "support/temp_folder.h"
#include "world/child_process.h"
#include "world/server_fixture.h"
#include "world/store/account_store.h"

namespace kelva::world {
namespace {

using kelva::testing::enter;
using kelva::testing::LineClient;
using kelva::testing::TempFolder;
namespace fs = std::filesystem;

// Starts kelva-world on `worldFile` with every file it writes capped at
// `sizeLimit` bytes; its output goes to files in `dir`.
pid_t startWorld(const fs::path& dir, const fs::path& worldFile, rlim_t sizeLimit) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open((dir / "world.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open((dir / "world.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{sizeLimit, sizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string data = (dir / "data").string();
    ::execl(KELVA_WORLD_PROGRAM, KELVA_WORLD_PROGRAM, worldFile.c_str(), "--data-dir", data.c_str(), "--player-port",
            "0", "--bot-port", "0", "--web-port", "0", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return child;
}

class StoppedAtEnd {
 public:
  explicit StoppedAtEnd(pid_t pid) : pid_(pid) {}
  ~StoppedAtEnd() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

TEST(FullStore, AFailedWriteRefusesThatActionAndTheWorldGoesOn) {
  TempFolder dir("full_store");
  fs::create_directories(dir.path / "data");
  {
    auto store = AccountStore::open(AccountStore::pathIn((dir.path / "data").string()));
    ASSERT_TRUE(store.isOk()) << store.status().message();
    for (const char* name : {"Boss", "Ann", "Target"}) {
      Result<std::string> hash = auth::hashPassword(std::string(name) + "pw", auth::HashCost::kMinimum);
      ASSERT_TRUE(hash.isOk());
      ASSERT_TRUE(store.value()->add({name, hash.value(), std::string(name) == "Boss", 0}).isOk());
    }
  }
  dir.write("world.json", R"({"name": "Fullworld", "bots": [{"citizen": 1, "password": "botpw"}]})");
  // Room for the store's shared index (32 KiB) and a few changes in its log.
  const auto dbSize = static_cast<rlim_t>(fs::file_size(dir.path / "data" / "world.db"));
  const rlim_t limit = std::max<rlim_t>(dbSize, 32768) + 16384;
  const pid_t world = startWorld(dir.path, dir.path / "world.json", limit);
  ASSERT_GT(world, 0);
  StoppedAtEnd stopper(world);
  uint16_t port = 0;
  for (int i = 0; i < 250 && port == 0; ++i) {
    port = kelva::testing::portAfter(dir.read("world.out"), "Players connect with: nc ");
    if (port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(port, 0) << dir.read("world.err");

  LineClient boss(port), ann(port), guest(port);
  enter(boss, "Boss", "Bosspw");
  enter(ann, "Ann", "Annpw");
  enter(guest, "newcomer");

  // Each ban is a write; before long one no longer fits.
  std::optional<std::string> refused;
  for (int i = 1; i <= 40 && !refused; ++i) {
    boss.send(".ban Target " + std::to_string(i));
    std::optional<std::string> answer = boss.waitForContaining("Target ");
    ASSERT_TRUE(answer) << dir.read("world.err");
    if (answer->find("was not banned") != std::string::npos) refused = answer;
  }
  ASSERT_TRUE(refused) << "the store never filled up";
  EXPECT_TRUE(refused->starts_with("* Target was not banned: could not ban Target: ")) << *refused;
  EXPECT_NE(dir.read("world.err").find("Boss could not ban Target"), std::string::npos);

  // A sign-up is refused too, and the name is not taken.
  guest.send(".register newpw");
  std::optional<std::string> signUp = guest.waitForContaining("Your account was not made: ");
  EXPECT_TRUE(signUp) << dir.read("world.err");
  LineClient again(port);
  ASSERT_TRUE(again.waitForLine("* What is your name?"));
  again.send("newcomer");
  // Still a guest's name (whose guest is in), not an account asking for a password.
  EXPECT_EQ(again.readLine().value_or(""), "* \"newcomer\" is already in the world. What is your name?");

  // The players already in play on.
  ann.send("still here");
  EXPECT_TRUE(boss.waitForLine("Ann: still here"));
  EXPECT_TRUE(guest.waitForLine("Ann: still here"));
  boss.send(".announce still open");
  EXPECT_TRUE(ann.waitForLine("* Announcement from Boss: still open"));
  int status = 0;
  EXPECT_EQ(::waitpid(world, &status, WNOHANG), 0) << "the world stopped";
}

}  // namespace
}  // namespace kelva::world
