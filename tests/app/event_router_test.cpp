#include "app/event_router.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::testing {
namespace {

// A world whose next whisper fails, as a lost connection would.
class FailingWorld : public FakeWorld {
 public:
  bool failNextWhisper = false;
  void Whisper(int32_t session, const std::string& text) override {
    if (failNextWhisper) {
      failNextWhisper = false;
      throw std::runtime_error("the line is down");
    }
    FakeWorld::Whisper(session, text);
  }
};

struct RouterTest : ::testing::Test {
  FailingWorld world;
  MemoryFileSystem files;
  RecordingView view;
  std::unique_ptr<Form1> form = std::make_unique<Form1>(world, files, view, view, "/data");
};

TEST_F(RouterTest, AFailingHandlerIsLoggedAndTheNextEventStillRuns) {
  app::EventRouter router(*form);
  world.failNextWhisper = true;
  world.queueChat("Bob", 7, "/stats");
  world.queueChat("Bob", 7, "/stats");
  ::testing::internal::CaptureStderr();
  router.timawwaitTick();  // not logged in: the pump does not run
  form->timawwaitEnabled = true;
  router.timawwaitTick();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "kelvabot: chat failed: the line is down\n");
  EXPECT_EQ(world.calls, (std::vector<std::string>{"whisper 7 You do not have a character."}));
}

TEST_F(RouterTest, TheWorldStopsCallingARouterThatIsGone) {
  {
    app::EventRouter router(*form);
    EXPECT_EQ(world.events(), &router);
  }
  EXPECT_EQ(world.events(), nullptr);
  // A router that took over from another keeps its place when the old one goes.
  auto first = std::make_unique<app::EventRouter>(*form);
  app::EventRouter second(*form);
  first.reset();
  EXPECT_EQ(world.events(), &second);
}

}  // namespace
}  // namespace kelva::testing
