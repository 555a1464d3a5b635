#include "data/persistence.h"

#include <gtest/gtest.h>

#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;

const std::string kAnn = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
const std::string kBob = "Bob,3,Human,none,10,10,10,10,15,15,0,0,9,0,0,0,0,scan!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";

TEST(Persistence, InitstatsFillsTheFirstSlotsAndListsTheNames) {
  GameFixture g;
  g.files.files["/data/stats.txt"] = kAnn + kBob;
  g.form->roster[0].pvpEnabled = true;
  const LoadResult r = initstats(*g.form);
  EXPECT_EQ(r.outcome, LoadOutcome::kLoaded);
  EXPECT_EQ(g.form->playerCount, 2);
  EXPECT_EQ(g.form->roster[1].gold, 9);
  EXPECT_TRUE(g.form->roster[0].pvpEnabled);  // never stored, so kept
  EXPECT_EQ(g.view.lines, (std::vector<std::string>{"combo1 Ann", "combo1 Bob"}));
}

TEST(Persistence, AReloadOfFewerLinesKeepsTheOldSlotsButStopsSavingThem) {
  GameFixture g;
  for (const char* n : {"A", "B", "C", "D", "E"}) g.givenPlayer(n);
  g.files.files["/data/stats.txt"] = kAnn + kBob;
  ASSERT_EQ(initstats(*g.form).outcome, LoadOutcome::kLoaded);
  EXPECT_EQ(g.form->playerCount, 2);
  EXPECT_EQ(g.form->roster[2].name, "C");
  savestats(*g.form);
  EXPECT_EQ(g.statsFile(), kAnn + kBob);
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

TEST(Persistence, AFailedSaveLeavesTheOldFileAndTheNextSaveSucceeds) {
  GameFixture g;
  g.givenPlayer("Ann");
  savestats(*g.form);
  const std::string before = g.statsFile();
  g.form->roster[0].gold = 6;
  g.files.failWrite = [](const std::string&) { return true; };
  savestats(*g.form);
  EXPECT_EQ(g.statsFile(), before);
  g.files.failWrite = nullptr;
  savestats(*g.form);
  EXPECT_NE(g.statsFile().find(",6,"), std::string::npos);
}

TEST(Persistence, CatalogueAndObjectsLoadIntoTheirTables) {
  GameFixture g;
  g.files.files["/data/armor~weapon.txt"] = "0,100,1,0,3,5,Sword\r\n";
  g.files.files["/data/objects.txt"] = "0,5,15,10,20,Rat,battle,3,1234,,0\r\n20,0,0,0,0,,heal,0,7,,0\r\n";
  EXPECT_EQ(loadarwe(*g.form).outcome, LoadOutcome::kLoaded);
  EXPECT_EQ(loadobjects(*g.form).outcome, LoadOutcome::kLoaded);
  EXPECT_EQ(g.form->lastCatalogIndex, 0);
  EXPECT_EQ(g.form->catalog[0].name, "Sword");
  EXPECT_EQ(g.form->lastObjectIndex, 1);
  EXPECT_EQ(g.form->objectDefinitions[1].objectNumber, 7);
  writeBackups(*g.form);
  EXPECT_EQ(g.file("armor~weapon_BACKUP.txt"), "0,100,1,0,3,5,Sword\r\n");
  EXPECT_EQ(g.file("objects_BACKUP.txt"), g.files.files["/data/objects.txt"]);
  EXPECT_EQ(g.file("stats_BACKUP.txt"), "");
}

}  // namespace
}  // namespace kelva
