#include "persist/persistence.h"

#include <gtest/gtest.h>

#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;

const std::string kAnn = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
const std::string kBob = "Bob,3,Human,none,10,10,10,10,15,15,0,0,9,0,0,0,0,scan!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";

TEST(Persistence, AReloadOfFewerLinesKeepsTheOldSlotsButSavesOnlyWhatWasRead) {
  GameFixture g;
  for (const char* n : {"A", "B", "C", "D", "E"}) g.givenPlayer(n);
  g.form->roster[0].pvpEnabled = true;
  savestats(*g.form);
  // The file now says something else (an operator edited it); the next save
  // must write what was read, not what the last save wrote.
  g.files.files["/data/stats.txt"] = kBob + kAnn;
  ASSERT_EQ(initstats(*g.form).outcome, LoadOutcome::kLoaded);
  EXPECT_EQ(g.form->playerCount, 2);
  EXPECT_EQ(g.form->roster[0].gold, 9);
  EXPECT_TRUE(g.form->roster[0].pvpEnabled);  // never stored, so kept
  EXPECT_EQ(g.form->roster[2].name, "C");
  EXPECT_EQ(g.view.lines, (std::vector<std::string>{"combo1 Bob", "combo1 Ann"}));
  savestats(*g.form);
  EXPECT_EQ(g.statsFile(), kBob + kAnn);
  g.form->roster[1].gold = 10;
  savestats(*g.form);
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 2));
}

TEST(Persistence, ABrokenOrMissingFileChangesNothing) {
  GameFixture g;
  g.givenPlayer("Keep").withGold(77);
  EXPECT_EQ(initstats(*g.form).outcome, LoadOutcome::kMissing);
  g.files.files["/data/stats.txt"] = kAnn + "Bob,1,Human\r\n";
  const LoadResult r = initstats(*g.form);
  EXPECT_EQ(r.outcome, LoadOutcome::kFailed);
  EXPECT_NE(r.status.message().find("line 2"), std::string::npos);
  EXPECT_EQ(g.form->playerCount, 1);
  EXPECT_EQ(g.form->roster[0].name, "Keep");
  EXPECT_EQ(g.form->roster[0].gold, 77);
  EXPECT_TRUE(g.view.lines.empty());
}

}  // namespace
}  // namespace kelva
