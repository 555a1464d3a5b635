#include "persist/timer2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/catalog_file.h"
#include "data/objects_file.h"
#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

constexpr const char* kPicked = "create solid no,visible no";

ShroomEntry shroom(int32_t number, const std::string& model, const std::string& action = "") {
  ShroomEntry e;
  e.model = model;
  e.action = action;
  e.number = number;
  return e;
}

void tick(GameFixture& g, int times) {
  for (int i = 0; i < times; ++i) persist::timer2Tick(*g.form);
}

TEST(Regrowth, PickedShroomsComeBackSmallAndSmallOnesGrowFull) {
  GameFixture g;
  g.givenShroom(shroom(1, "shroom.rwx", kPicked));
  g.givenShroom(shroom(2, "shroome.rwx", kPicked));
  g.givenShroom(shroom(3, "shroom.rwx"));  // full and visible: left alone
  g.givenShroom(shroom(4, "shroom1.rwx"));
  g.givenShroom(shroom(5, "shroom1e.rwx"));
  g.givenShroom(shroom(6, "shroom1e.rwx", kPicked));
  g.givenShroom(shroom(7, "shroome.rwx", "create solid no"));  // not picked
  const std::vector<ShroomEntry> cacheBefore(g.form->shroomCache.begin(), g.form->shroomCache.begin() + 7);
  tick(g, 300);
  EXPECT_EQ(g.takeCalls(),
            (Calls{"object-change 1 shroom1.rwx", "object-change 2 shroom1e.rwx", "object-change 4 shroom.rwx",
                   "object-change 5 shroome.rwx", "object-change 6 shroom1e.rwx"}));
  EXPECT_EQ(std::vector<ShroomEntry>(g.form->shroomCache.begin(), g.form->shroomCache.begin() + 7), cacheBefore);
  EXPECT_EQ(g.form->lastShroomIndex, 6);
  // Where each change puts its shroom is the shroom-pick tests' business:
  // both go through one change of a cached shroom.
}

TEST(Backups, EveryTenMinutesTheThreeFilesAreCopiedAsSaved) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(9);
  g.givenCatalogEntry(CatalogEntry{"Sword", 0, 1, 100, kWeaponKind, 3, 5});
  ObjectDefinition& rat = g.givenObject(ObjectDefinition{});
  rat.name = "Rat";
  rat.role = "battle";
  rat.objectNumber = 1234;
  tick(g, 599);
  EXPECT_TRUE(g.files.files.empty());
  tick(g, 1);
  EXPECT_EQ(g.file(kStatsBackupFileName), formatStatsFile(g.form->roster, 1));
  EXPECT_EQ(g.file(kCatalogBackupFileName), "0,100,1,0,3,5,Sword\r\n");
  EXPECT_EQ(g.file(kObjectsBackupFileName), "0,0,0,0,0,Rat,battle,0,1234,,0\r\n");
  EXPECT_EQ(g.file(kStatsFileName), "");  // only the copies are written
  EXPECT_EQ(g.form->backupTicks, 0);
  EXPECT_EQ(g.form->regrowTicks, 0);
}

TEST(Backups, AFailedBackupStillStartsTheCountAgain) {
  GameFixture g;
  g.givenPlayer("Ann");
  g.files.failWrite = [](const std::string&) { return true; };
  tick(g, 600);
  EXPECT_TRUE(g.files.files.empty());
  EXPECT_EQ(g.form->backupTicks, 0);
  g.files.failWrite = nullptr;
  tick(g, 600);
  EXPECT_EQ(g.file(kStatsBackupFileName), formatStatsFile(g.form->roster, 1));
}

}  // namespace
}  // namespace kelva
