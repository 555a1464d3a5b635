#include "session/startup.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

const std::vector<std::string> kPrompts = {
    "CitizenNumber?", "PPW?", "World?", "Botname?", "X?   EG.  -1000  = 1E", "Y?   EG.  -100  = -10a",
    "Z?   EG.  -1000  = 1S"};

class StartupTest : public ::testing::Test, public GameFixture {
 protected:
  session::StartupResult start(std::vector<std::string> answers, std::optional<int64_t> seed = 1) {
    view.answers = std::move(answers);
    return session::formLoad(*form, view, seed);
  }
};

TEST_F(StartupTest, ANumberPromptIsAskedAgainUntilTheAnswerIsANumber) {
  const auto result =
      start({"abc", "", "7.5", "pw", "W", "B", "x", "2.5", "12 apples", "-0.5", "99999999999", "-1"},
            (int64_t{1} << 24) + 5);
  EXPECT_EQ(result.outcome, session::StartupOutcome::kRunning);
  // Fractions round halves to the even neighbour; 99999999999 does not fit a long.
  EXPECT_EQ(world.startBotCall, "8 pw B Kelvabot W 2 0 -1 0 251");
  const auto& p = kPrompts;
  EXPECT_EQ(view.prompts, (std::vector<std::string>{p[0], p[0], p[0], p[1], p[2], p[3], p[4], p[4], p[5], p[5], p[6],
                                                    p[6]}));
  // x = 2 is in cell 0; z = -1 is in cell -1, sector -1.
  EXPECT_EQ(form->homeSectorX, 0);
  EXPECT_EQ(form->homeSectorZ, -1);
  // The seed is taken modulo 2^24.
  EXPECT_EQ(form->rng.state(), 5u);
}

TEST_F(StartupTest, ACancelledPromptEndsBeforeLogin) {
  for (std::size_t answered = 0; answered < kPrompts.size(); ++answered) {
    GameFixture g;
    g.view.answers.assign({"1", "pw", "W", "B", "0", "0", "0"});
    g.view.answers.resize(answered);
    const auto result = session::formLoad(*g.form, g.view, 1);
    EXPECT_EQ(result.outcome, session::StartupOutcome::kCancelled) << answered;
    EXPECT_EQ(g.world.startBotCall, "") << answered;
    EXPECT_TRUE(g.files.reads.empty()) << answered;
    EXPECT_FALSE(g.form->timawwaitEnabled);
  }
}

}  // namespace
}  // namespace kelva::testing
