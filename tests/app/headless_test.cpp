#include "app/headless.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "session/sim_world.h"
#include "support/fakes.h"

namespace kelva::app {
namespace {

using namespace std::chrono_literals;
using kelva::testing::MemoryFileSystem;
using Lines = std::vector<std::string>;

// Headless mode on this thread, its input written from another one that
// waits for the bot's answers before it types on, as an operator would.
class HeadlessRun : public ::testing::Test {
 protected:
  HeadlessRun() : world([this](const std::string& line) { record(line); }) {
    EXPECT_EQ(::pipe(input_), 0);
  }
  ~HeadlessRun() override {
    if (typist_.joinable()) typist_.join();
    ::close(input_[0]);
    if (input_[1] >= 0) ::close(input_[1]);
  }

  // Runs the bot while `typing` feeds it; returns the exit status.
  int run(std::function<void()> typing, bool handleSignals = false) {
    HeadlessSettings settings;
    settings.dataDir = "/data";
    settings.seed = 1;
    settings.inputFd = input_[0];
    settings.handleSignals = handleSignals;
    typist_ = std::thread(std::move(typing));
    return runHeadless(world, &world, files, settings, [this](const std::string& line) { record(line); });
  }

  void type(const std::string& text) { ASSERT_EQ(::write(input_[1], text.data(), text.size()), ssize_t(text.size())); }
  void endInput() {
    ::close(input_[1]);
    input_[1] = -1;
  }
  // Waits until the bot has printed `line`.
  void awaitLine(const std::string& line) {
    std::unique_lock lock(mutex_);
    const bool seen = printed_.wait_for(lock, 10s, [&] {
      return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    });
    ASSERT_TRUE(seen) << "never printed: " << line;
  }
  Lines lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

  SimWorld world;
  MemoryFileSystem files;

 private:
  void record(const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
    printed_.notify_all();
  }

  int input_[2] = {-1, -1};
  std::thread typist_;
  std::mutex mutex_;
  std::condition_variable printed_;
  Lines lines_;
};

const Lines kPrompts = {"CitizenNumber?", "PPW?", "World?", "Botname?", "X?   EG.  -1000  = 1E",
                        "Y?   EG.  -100  = -10a", "Z?   EG.  -1000  = 1S"};

Lines concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Bob is an administrator from the last run: the boxes are filled again at start.
TEST_F(HeadlessRun, OperatorLogsInRunsTheConsoleAndCloses) {
  files.files["/data/administrators.txt"] = "\n\nBob\n";
  files.files["/data/stats.txt"] = "Bob,1,Human,none,10,10,10,10,15,15,0,0,40,0,250,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  const int status = run([&] {
    type("1234\npw\nDemo\nBot\n-1500\n0\n2500\n");
    awaitLine("say Complete");
    type("chat Bob 3 bmessage: Hello there\n");
    awaitLine("sound");
    type("chat Bob 3 bmessage:hello\n# a note to self\nselect Bob\n");
    awaitLine("text3 40");
    type("text2 12.5\ntext3 -3\nchange\npump 3\nadmin 4 Kaya\r\nclose\nchange\n");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines(), concat(kPrompts, {"combo1 Bob", "query -1 0 0 0 0 0 0 0 0 0 0", "say Complete",
                                       "list1 Bob:     Hello there", "sound", "text2 250", "text3 40",
                                       "say A special gift of -237.5exp and -43gp was given to Bob.",
                                       "say Bot is being shut down in Three...", "say Two...", "say One...",
                                       "destroy", "term"}));
  EXPECT_EQ(files.files["/data/stats.txt"],
            "Bob,1,Human,none,10,10,10,10,15,15,0,0,-3,0,12,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n");
  EXPECT_EQ(files.files["/data/administrators.txt"], "\n\nBob\n\nKaya\n\n\n");
}

TEST_F(HeadlessRun, TheTerminalSaysWhatAConsoleLineDidNotDo) {
  files.files["/data/stats.txt"] =
      "\"mira\",1,Human,none,10,10,10,10,15,15,0,0,40,0,18,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  const int status = run([&] {
    type("1234\npw\nDemo\nBot\n0\n0\n0\n");
    awaitLine("say Complete");
    type("change\nselect mira\nchange\ntext2 abc\nselect \"mira\"\n");
    awaitLine("text3 40");
    type("text2 abc\nclose\n");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines(), concat(kPrompts, {"combo1 \"mira\"", "query 0 0 0 0 0 0 0 0 0 0 0", "say Complete",
                                       "notice no name is picked; \"Change\" did nothing",
                                       "notice no character is named mira (the guest is named \"mira\"); "
                                       "\"Change\" will do nothing",
                                       "notice no character is named mira (the guest is named \"mira\"); "
                                       "\"Change\" did nothing",
                                       "notice Text2 does not start with a number; \"Change\" will count it as 0",
                                       "text2 18", "text3 40",
                                       "notice Text2 does not start with a number; \"Change\" will count it as 0",
                                       "say Bot is being shut down in Three...", "say Two...", "say One...",
                                       "destroy", "term"}));
}

TEST_F(HeadlessRun, InputEndingAtAPromptCancelsBeforeLogin) {
  const int status = run([&] {
    type("1234\npw\n");
    endInput();
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines(), (Lines{"CitizenNumber?", "PPW?", "World?"}));
  EXPECT_FALSE(world.loggedIn());
  EXPECT_TRUE(files.reads.empty());
}

TEST_F(HeadlessRun, ACitizenNumberThatIsNoNumberIsAskedAgainAndARefusedLoginEnds) {
  world.setLoginResult(463);
  const int status = run([&] { type("twelve\n1\npw\nDemo\nBot\n0\n0\n0\nclose\n"); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(lines(), concat({"CitizenNumber?"}, concat(kPrompts, {"messagebox 463"})));
  EXPECT_TRUE(files.reads.empty());
}

TEST_F(HeadlessRun, TheBotRunsOnAfterTheInputEndsUntilSignalled) {
  const pthread_t bot = pthread_self();
  const int status = run(
      [&] {
        type("1\npw\nDemo\nBot\n0\n0\n0\n");
        endInput();
        awaitLine("say Complete");
        std::this_thread::sleep_for(600ms);
        pthread_kill(bot, SIGTERM);
      },
      true);
  EXPECT_EQ(status, 0);
  const Lines out = lines();
  ASSERT_GE(out.size(), 5u);
  EXPECT_EQ(Lines(out.end() - 5, out.end()),
            (Lines{"say Bot is being shut down in Three...", "say Two...", "say One...", "destroy", "term"}));
}

}  // namespace
}  // namespace kelva::app
