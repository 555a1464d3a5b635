#include "session/object_cache.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

class ObjectCacheTest : public ::testing::Test, public GameFixture {
 protected:
  ObjectCacheTest() { form->lastShroomIndex = -1; }

  void setObject(int32_t cellX, int32_t cellZ, int32_t sequence, int32_t number, const std::string& model) {
    world.CellX = cellX;
    world.CellZ = cellZ;
    world.CellSequence = sequence;
    world.ObjectNumber = number;
    world.ObjectModel = model;
    world.ObjectAction = "";
    world.ObjectDescription = "desc " + std::to_string(number);
    world.ObjectX = cellX * 1000 + 10;
    world.ObjectY = 5;
    world.ObjectZ = cellZ * 1000 + 20;
    world.ObjectYaw = 900;
    world.ObjectOwner = 42;
  }
  void add(int32_t cellX, int32_t cellZ, int32_t sequence, int32_t number, const std::string& model) {
    setObject(cellX, cellZ, sequence, number, model);
    router->onObjectAdd();
  }
  void remove(int32_t cellX, int32_t cellZ, int32_t sequence, int32_t number, const std::string& model) {
    setObject(cellX, cellZ, sequence, number, model);
    router->onObjectDelete();
  }
  std::vector<int32_t> cachedNumbers() const {
    std::vector<int32_t> out;
    for (int i = 0; i <= form->lastShroomIndex; ++i) out.push_back(form->shroomCache[static_cast<std::size_t>(i)].number);
    return out;
  }
};

TEST_F(ObjectCacheTest, AnAddedShroomIsCachedWithAllItsAttributes) {
  add(3, -2, 6, 77, "shroome.rwx");
  ASSERT_EQ(form->lastShroomIndex, 0);
  const ShroomEntry& e = form->shroomCache[0];
  EXPECT_EQ(e, (ShroomEntry{77, "shroome.rwx", "desc 77", "", 3010, 5, -1980, 900, 42}));
  // Cell (3, -2) is in sector (0, -1): row z offset -1 + 1, column x offset 0 + 1.
  EXPECT_EQ(form->cellSequence[0][1], 6);
  // A shroom reported by a query is cached without the home test.
  setObject(500, 500, 3, 8, "shroom.rwx");
  router->onCellObject();
  EXPECT_EQ(cachedNumbers(), (std::vector<int32_t>{77, 8}));
}

TEST_F(ObjectCacheTest, OnlyModelsBeginningWithLowerCaseShroomAreShrooms) {
  add(0, 0, 1, 1, "Shroom.rwx");
  add(0, 0, 2, 2, "shroo");
  add(0, 0, 3, 3, "tree.rwx");
  add(0, 0, 4, 4, "shroom");
  add(0, 0, 5, 5, "shroom1e.rwx");
  EXPECT_EQ(cachedNumbers(), (std::vector<int32_t>{4, 5}));
  // Every add at home stores its cell's sequence, shroom or not.
  EXPECT_EQ(form->cellSequence[1][1], 5);
}

TEST_F(ObjectCacheTest, EventsTwoSectorsAwayChangeNothing) {
  form->homeSectorX = 1;
  form->homeSectorZ = 1;
  add(24, 8, 9, 1, "shroom.rwx");   // sector (3, 1)
  add(8, -1, 9, 2, "shroom.rwx");   // sector (1, -1)
  setObject(-1, 8, 9, 3, "shroom.rwx");  // sector (-1, 1)
  router->onCellBegin();
  EXPECT_EQ(form->lastShroomIndex, -1);
  EXPECT_EQ(form->cellSequence, CellSequenceTable{});
  // The corners of the nine sectors count.
  add(0, 0, 4, 4, "tree.rwx");     // sector (0, 0): offsets (-1, -1)
  add(23, 23, 5, 5, "tree.rwx");   // sector (2, 2): offsets (+1, +1)
  EXPECT_EQ(form->cellSequence[0][0], 4);
  EXPECT_EQ(form->cellSequence[2][2], 5);
}

TEST_F(ObjectCacheTest, DeletingAShroomMovesTheLaterOnesDownAndTakesOnlyTheFirstOfANumber) {
  add(0, 0, 1, 10, "shroom.rwx");
  add(0, 0, 2, 11, "shroom1.rwx");
  add(0, 0, 3, 12, "shroome.rwx");
  remove(0, 0, 4, 10, "shroom.rwx");
  EXPECT_EQ(cachedNumbers(), (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(form->shroomCache[0].model, "shroom1.rwx");
  EXPECT_EQ(form->shroomCache[1].model, "shroome.rwx");
  EXPECT_EQ(form->cellSequence[1][1], 4);
  // A number not cached, and a delete that is no shroom, change nothing.
  remove(0, 0, 5, 99, "shroom.rwx");
  remove(0, 0, 6, 11, "tree.rwx");
  EXPECT_EQ(cachedNumbers(), (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(form->cellSequence[1][1], 6);
  // Of two entries with one number, a delete takes only the first.
  add(0, 0, 7, 11, "shroom.rwx");
  remove(0, 0, 8, 11, "shroom.rwx");
  EXPECT_EQ(cachedNumbers(), (std::vector<int32_t>{12, 11}));
}

TEST_F(ObjectCacheTest, AFullCacheTakesNoMoreShroomsAndSaysSoOnce) {
  form->lastShroomIndex = static_cast<int16_t>(kShroomCacheUsable - 2);
  ::testing::internal::CaptureStderr();
  add(0, 0, 1, 1, "shroom.rwx");
  add(0, 0, 2, 2, "shroom.rwx");
  setObject(0, 0, 3, 3, "shroom.rwx");
  router->onCellObject();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(form->lastShroomIndex, kShroomCacheUsable - 1);
  EXPECT_EQ(form->shroomCache[kShroomCacheUsable - 1].number, 1);
  EXPECT_EQ(form->shroomCache[kShroomCacheUsable].number, 0);
  EXPECT_NE(err.find("full"), std::string::npos);
  EXPECT_EQ(err.find("full"), err.rfind("full")) << err;
  // Deleting makes room again.
  remove(0, 0, 4, 1, "shroom.rwx");
  add(0, 0, 5, 5, "shroom.rwx");
  EXPECT_EQ(form->shroomCache[kShroomCacheUsable - 1].number, 5);
}

}  // namespace
}  // namespace kelva::testing
