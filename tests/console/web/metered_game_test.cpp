// The operator's figures counted in a short game: a Form1 on the metered
// world and file system, driven by the event router as the bot drives it.
#include <gtest/gtest.h>

#include "app/event_router.h"
#include "console/console_actions.h"
#include "console/web/metered_files.h"
#include "console/web/metered_world.h"
#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::console::web {
namespace {

using kelva::testing::FakeWorld;
using kelva::testing::MemoryFileSystem;
using kelva::testing::RecordingView;

class MeteredGame : public ::testing::Test {
 protected:
  MeteredGame() : world(fake, metrics), files(memory, metrics) {
    form = std::make_unique<Form1>(world, files, view, view, "/data");
    router = std::make_unique<app::EventRouter>(*form);
    form->roster[0].name = "Bob";
    form->roster[0].maxHp = 15;
    form->playerCount = 1;
    form->timawwaitEnabled = true;  // logged in
  }

  FakeWorld fake;
  MemoryFileSystem memory;
  RecordingView view;
  GameMetrics metrics;
  MeteredWorld world;
  MeteredFiles files;
  std::unique_ptr<Form1> form;
  std::unique_ptr<app::EventRouter> router;
};

TEST_F(MeteredGame, ACommandIsCountedAndTimedToItsFirstAnswerOnly) {
  fake.queueChat("Bob", 7, "/stats");
  fake.queueChat("Bob", 8, "hello everyone");  // chat, not a command
  router->timawwaitTick();
  ASSERT_FALSE(fake.calls.empty());
  EXPECT_EQ(fake.calls.front().rfind("whisper 7 ", 0), 0u) << fake.calls.front();
  EXPECT_EQ(metrics.commands(), 1u);
  const std::string text = metrics.exposition();
  // /stats answers in two whispers: the time is taken at the first.
  EXPECT_NE(text.find("kelva_reply_seconds_count 1\n"), std::string::npos) << text;
  // The game read the attributes the world set.
  EXPECT_EQ(world.ChatSession, 8);
}

TEST_F(MeteredGame, SavesAreCountedWithTheirFailures) {
  console::selectCombo1(*form, "Bob");
  form->console.Text2 = "300";
  router->consoleAction("Change", [&] { console::pressCommand1(*form); });
  EXPECT_EQ(metrics.saves(), 1u);
  EXPECT_EQ(metrics.saveFailures(), 0u);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"say A special gift of 300exp and 0gp was given to Bob."}));

  memory.failWrite = [](const std::string&) { return true; };
  form->console.Text2 = "400";
  router->consoleAction("Change", [&] { console::pressCommand1(*form); });
  EXPECT_EQ(metrics.saves(), 2u);
  EXPECT_EQ(metrics.saveFailures(), 1u);
}

}  // namespace
}  // namespace kelva::console::web
