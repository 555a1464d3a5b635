#include "session/startup.h"

#include <gtest/gtest.h>

#include "data/stats_file.h"
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
  std::string path(const char* name) const { return dataPath(form->dataDir, name); }
};

TEST_F(StartupTest, AsksTheSevenPromptsAndLogsInWithTheirAnswers) {
  const auto result = start({"1234", "secret", "Demo", "Bot", "-1500", "7", "2500"});
  EXPECT_EQ(result.outcome, session::StartupOutcome::kRunning);
  EXPECT_EQ(view.prompts, kPrompts);
  EXPECT_EQ(world.initVersion, 22);
  EXPECT_EQ(world.startBotCall, "1234 secret Bot Kelvabot Demo -1500 7 2500 0 251");
  EXPECT_TRUE(form->timawwaitEnabled);
  // x = -1500 is in cell -2 (sector -1), z = 2500 in cell 2 (sector 0).
  EXPECT_EQ(form->homeSectorX, -1);
  EXPECT_EQ(form->homeSectorZ, 0);
  EXPECT_EQ(takeCalls(), (std::vector<std::string>{"query -1 0 0 0 0 0 0 0 0 0 0"}));
  EXPECT_EQ(form->lastShroomIndex, -1);
}

TEST_F(StartupTest, CellsRoundTowardsMinusInfinity) {
  start({"1", "pw", "W", "B", "-1", "0", "999"});
  EXPECT_EQ(form->homeSectorX, -1);  // cell -1
  EXPECT_EQ(form->homeSectorZ, 0);   // cell 0
}

TEST_F(StartupTest, ANumberPromptIsAskedAgainUntilTheAnswerIsANumber) {
  const auto result = start({"abc", "", "7.5", "pw", "W", "B", "x", "2.5", "12 apples", "-0.5", "99999999999", "8"});
  EXPECT_EQ(result.outcome, session::StartupOutcome::kRunning);
  // Fractions round halves to the even neighbour; 99999999999 does not fit a long.
  EXPECT_EQ(world.startBotCall, "8 pw B Kelvabot W 2 0 8 0 251");
  EXPECT_EQ(view.prompts.size(), 12u);
  EXPECT_EQ(view.prompts[0], kPrompts[0]);
  EXPECT_EQ(view.prompts[2], kPrompts[0]);
  EXPECT_EQ(view.prompts[7], kPrompts[4]);
  EXPECT_EQ(view.prompts[8], kPrompts[5]);
  EXPECT_EQ(view.prompts[9], kPrompts[5]);
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

TEST_F(StartupTest, ARefusedLoginShowsOnlyTheCodeAndReadsNoFile) {
  files.files[path(kStatsFileName)] = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  world.startBotResult = -17;
  const auto result = start({"1", "pw", "W", "B", "0", "0", "0"});
  EXPECT_EQ(result.outcome, session::StartupOutcome::kLoginRefused);
  EXPECT_EQ(result.loginCode, -17);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"messagebox -17"}));
  EXPECT_TRUE(files.reads.empty());
  EXPECT_TRUE(takeCalls().empty());
  EXPECT_EQ(form->playerCount, 0);
  EXPECT_FALSE(form->timawwaitEnabled);
}

TEST_F(StartupTest, LoadsTheThreeFilesInOrder) {
  files.files[path(kStatsFileName)] =
      "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n"
      "Bob,2,Human,none,10,10,10,10,15,15,0,0,7,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  files.files[path("objects.txt")] = "0,3,40,20,50,Troll,battle,8,1234,,0\r\n";
  files.files[path("armor~weapon.txt")] = "0,100,1,0,3,5,Sword\r\n";
  start({"1", "pw", "W", "B", "0", "0", "0"});
  EXPECT_EQ(files.reads, (std::vector<std::string>{path(kStatsFileName), path("objects.txt"), path("armor~weapon.txt")}));
  EXPECT_EQ(form->playerCount, 2);
  EXPECT_EQ(form->roster[1].gold, 7);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"combo1 Ann", "combo1 Bob"}));
  EXPECT_EQ(form->lastObjectIndex, 0);
  EXPECT_EQ(form->objectDefinitions[0].name, "Troll");
  EXPECT_EQ(form->lastCatalogIndex, 0);
  EXPECT_EQ(form->catalog[0].name, "Sword");
}

TEST_F(StartupTest, MissingFilesStartEmptyAndNothingIsWritten) {
  ::testing::internal::CaptureStderr();
  const auto result = start({"1", "pw", "W", "B", "0", "0", "0"});
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(result.outcome, session::StartupOutcome::kRunning);
  EXPECT_NE(err.find("stats.txt"), std::string::npos);
  EXPECT_NE(err.find("objects.txt"), std::string::npos);
  EXPECT_NE(err.find("armor~weapon.txt"), std::string::npos);
  EXPECT_EQ(form->playerCount, 0);
  EXPECT_EQ(form->lastObjectIndex, -1);
  EXPECT_EQ(form->lastCatalogIndex, -1);
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(takeCalls().size(), 1u);  // the query
}

TEST_F(StartupTest, AFileThatCannotBeLoadedWholeStopsBeforeTheQuery) {
  const std::string stats = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  const std::string objects = "0,3,40,20,50,Troll,battle,8,1234,,0\r\n0,3,40,20,50,Rat,battle,8,1235\r\n";
  files.files[path(kStatsFileName)] = stats;
  files.files[path("objects.txt")] = objects;
  const auto result = start({"1", "pw", "W", "B", "0", "0", "0"});
  EXPECT_EQ(result.outcome, session::StartupOutcome::kDataError);
  EXPECT_NE(result.message.find("objects.txt"), std::string::npos) << result.message;
  EXPECT_NE(result.message.find("line 2"), std::string::npos) << result.message;
  EXPECT_EQ(form->lastObjectIndex, -1);
  EXPECT_TRUE(takeCalls().empty());
  EXPECT_EQ(files.files.size(), 2u);
  EXPECT_EQ(files.files[path(kStatsFileName)], stats);
  EXPECT_EQ(files.files[path("objects.txt")], objects);
}

TEST_F(StartupTest, TheSeedIsTakenModulo2To24) {
  start({"1", "pw", "W", "B", "0", "0", "0"}, (int64_t{1} << 24) + 5);
  EXPECT_EQ(form->rng.state(), 5u);
}

TEST_F(StartupTest, ShutdownCountsDownWhileEventsAreStillAnswered) {
  start({"1", "pw", "W", "B", "0", "0", "0"});
  takeCalls();
  form->timawwaitEnabled = true;
  world.queue([this] { world.Whisper(3, "answered during the countdown"); });
  session::formUnload(*form);
  EXPECT_FALSE(form->timawwaitEnabled);
  EXPECT_EQ(takeCalls(), (std::vector<std::string>{"say Bot is being shut down in Three...",
                                                   "whisper 3 answered during the countdown", "say Two...",
                                                   "say One...", "destroy", "term"}));
}

}  // namespace
}  // namespace kelva::testing
