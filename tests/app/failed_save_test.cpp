// A round whose saves cannot be written keeps its replies: they leave only
// once a retry has put the saves on disk, in the order they were made.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_actions.h"
#include "data/catalog_file.h"
#include "data/stats_file.h"
#include "persist/persistence.h"
#include "support/held_game.h"

namespace kelva::testing {
namespace {

struct RecordingLog : ActivityLog {
  std::vector<std::string> events;
  void record(std::string_view event) noexcept override { events.emplace_back(event); }
};

// Ann (session 2) and Bob (session 3) are in the world; the disk fills up
// when a test says so. What the retries print on stderr is captured.
struct FailedSaveTest : ::testing::Test, HeldGame {
  RecordingLog log;
  bool diskFull = false;
  int writes = 0;  // attempts, failed or not

  FailedSaveTest() {
    form->activityLog = &log;
    files.failWrite = [this](const std::string&) {
      ++writes;
      return diskFull;
    };
    queueArrival("Ann", 2);
    queueArrival("Bob", 3);
    router->timawwaitTick();
    world.calls.clear();
    view.lines.clear();
    writes = 0;
    ::testing::internal::CaptureStderr();
  }
  ~FailedSaveTest() override { stderrText(); }
  std::string stderrText() {
    if (!capturing_) return {};
    capturing_ = false;
    return ::testing::internal::GetCapturedStderr();
  }
  // The operator's gift to Bob: "Change" with 10 exp and 50 gold.
  void giftToBob() {
    router->consoleAction("selecting a name", [&] { console::selectCombo1(*form, "Bob"); });
    form->console.Text2 = "10";
    form->console.Text3 = "50";
    router->consoleAction("Change", [&] { console::pressCommand1(*form); });
  }
  std::string statsOnDisk() { return files.files["/data/stats.txt"]; }

 private:
  bool capturing_ = true;
};

TEST_F(FailedSaveTest, TheRepliesWaitForARetryAfterTheFirstAndSecondBackOff) {
  diskFull = true;
  giftToBob();
  EXPECT_EQ(writes, 1);
  EXPECT_TRUE(world.calls.empty());
  EXPECT_TRUE(router->savesFailing());

  router->timer2Tick();  // the first back-off (one tick) is over: a retry, which fails
  EXPECT_EQ(writes, 2);
  router->timer2Tick();  // the second back-off is two ticks
  EXPECT_EQ(writes, 2);
  router->timer2Tick();
  EXPECT_EQ(writes, 3);
  EXPECT_TRUE(world.calls.empty());

  diskFull = false;
  for (int tick = 1; tick < 4; ++tick) router->timer2Tick();  // the third back-off: four ticks
  EXPECT_EQ(writes, 3);
  EXPECT_TRUE(world.calls.empty());
  EXPECT_NE(statsOnDisk(), formatStatsFile(form->roster, form->playerCount));
  router->timer2Tick();
  EXPECT_EQ(writes, 4);
  EXPECT_EQ(statsOnDisk(), formatStatsFile(form->roster, form->playerCount));
  EXPECT_EQ(world.calls, (std::vector<std::string>{"say A special gift of 10exp and 45gp was given to Bob."}));
  EXPECT_FALSE(router->savesFailing());

  // The operator heard of it once when it began and once when it ended, on
  // stderr, in the activity log and on the console.
  const std::string err = stderrText();
  auto count = [&](const std::string& what) {
    std::size_t n = 0;
    for (auto at = err.find(what); at != std::string::npos; at = err.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("saving /data/stats.txt failed"), 1u) << err;
  EXPECT_EQ(count("saving works again"), 1u) << err;
  auto logged = [&](const std::string& what) {
    return std::count_if(log.events.begin(), log.events.end(),
                         [&](const std::string& e) { return e.find(what) != std::string::npos; });
  };
  EXPECT_EQ(logged("saving /data/stats.txt failed"), 1);
  EXPECT_EQ(logged("saving works again"), 1);
  ASSERT_EQ(view.notices.size(), 2u);
  EXPECT_NE(view.notices[0].find("stats.txt"), std::string::npos);
  EXPECT_EQ(view.notices[1], "");
  EXPECT_EQ(form->console.SaveTrouble, "");
}

TEST_F(FailedSaveTest, LaterCommandsAreAnsweredAfterTheHeldRepliesInOrder) {
  diskFull = true;
  giftToBob();
  view.lines.clear();
  world.queueChat("Bob", 3, "/drink hppotion");
  world.queueChat("Ann", 2, "arweadd weapon,3,1,7,10,Club");
  queueArrival("Cy", 4);
  router->timawwaitTick();
  router->timer1Tick();
  EXPECT_TRUE(world.calls.empty());
  // The console's own lines wait too.
  EXPECT_TRUE(view.lines.empty());

  diskFull = false;
  router->timer2Tick();
  EXPECT_EQ(world.calls, (std::vector<std::string>{"say A special gift of 10exp and 45gp was given to Bob.",
                                                   "whisper 3 You have no HP Potions.", "whisper 2 Weapon added."}));
  EXPECT_EQ(view.lines, (std::vector<std::string>{"combo1 Cy"}));
  EXPECT_EQ(files.files["/data/armor~weapon.txt"], formatCatalogFile(form->catalog, form->lastCatalogIndex));
}

TEST_F(FailedSaveTest, PastTheLimitTheWorldsEventsWaitInTheWorld) {
  diskFull = true;
  giftToBob();
  const std::size_t atLimit = held.heldCount();
  router->setHeldLimit(atLimit);
  world.queueChat("Bob", 3, "/drink hppotion");
  router->timawwaitTick();
  router->timer1Tick();
  EXPECT_EQ(world.pending.size(), 1u);  // not taken
  EXPECT_EQ(held.heldCount(), atLimit);

  // One below the limit events are taken again, their replies held behind.
  router->setHeldLimit(atLimit + 1);
  router->timawwaitTick();
  EXPECT_TRUE(world.pending.empty());
  EXPECT_EQ(held.heldCount(), atLimit + 1);

  diskFull = false;
  router->timer2Tick();  // past the limit Timer2 only retries
  EXPECT_EQ(world.calls, (std::vector<std::string>{"say A special gift of 10exp and 45gp was given to Bob.",
                                                   "whisper 3 You have no HP Potions."}));
}

TEST_F(FailedSaveTest, ReloadRefusesWhileNewerBytesWaitToBeSaved) {
  diskFull = true;
  giftToBob();
  const PlayerRecord bob = form->roster[1];
  world.queueChat("Ann", 2, "RELOAD");
  router->timawwaitTick();
  EXPECT_EQ(form->roster[1], bob);  // the gift is still there, unsaved
  diskFull = false;
  router->timer2Tick();
  EXPECT_EQ(world.calls, (std::vector<std::string>{"say A special gift of 10exp and 45gp was given to Bob."}));
}

// A kill while saving fails: what the players were told is on disk, and
// what is not on disk nobody was told.
TEST_F(FailedSaveTest, AKillDuringTheOutageLosesNothingThatWasTold) {
  giftToBob();
  ASSERT_EQ(world.calls.size(), 1u);  // told, so on disk
  const PlayerRecord toldBob = form->roster[static_cast<std::size_t>(userpos(form->roster, "Bob"))];
  diskFull = true;
  giftToBob();
  for (int tick = 0; tick < 10; ++tick) router->timer2Tick();
  EXPECT_EQ(world.calls.size(), 1u);  // the second gift was never told

  // The kill: the bot's memory is gone, the disk is what it was.
  router.reset();
  form = std::make_unique<Form1>(held, files, held, held, "/data");
  ASSERT_EQ(initstats(*form).outcome, LoadOutcome::kLoaded);
  const int16_t bob = userpos(form->roster, "Bob");
  ASSERT_NE(bob, kNoPlayer);
  EXPECT_EQ(form->roster[static_cast<std::size_t>(bob)], toldBob);
}

}  // namespace
}  // namespace kelva::testing
