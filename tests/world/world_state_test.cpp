#include "world/core/world_state.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

WorldObject object(int32_t number, int32_t x, int32_t z, std::string model = "shroom.rwx") {
  return {number, std::move(model), "", "", x, 0, z, 0, 0};
}

TEST(WorldGeometry, CellsAndSectorsRoundDown) {
  EXPECT_EQ(cellFromCoordinate(999), 0);
  EXPECT_EQ(cellFromCoordinate(1000), 1);
  EXPECT_EQ(cellFromCoordinate(-1000), -1);
  EXPECT_EQ(cellFromCoordinate(-1001), -2);
  EXPECT_EQ(cellFromCoordinate(INT32_MIN), -2147484);
  EXPECT_EQ(sectorFromCell(7), 0);
  EXPECT_EQ(sectorFromCell(8), 1);
  EXPECT_EQ(sectorFromCell(-8), -1);
  EXPECT_EQ(sectorFromCell(-9), -2);
}

TEST(World, EveryAddDeleteAndChangeRaisesItsCellsSequence) {
  World world;
  CellKey cell{1, 0};
  auto added = world.add(object(5, 1500, 10));
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].cell, cell);
  EXPECT_EQ(added[0].sequence, 1);

  // A change comes back as the old object's delete, then the changed one's add.
  net::ObjectFields fields{1500, 0, 10, 0, 0, "shroom.rwx", "", "create solid no,visible no"};
  auto changed = world.change(5, fields);
  ASSERT_TRUE(changed.has_value());
  ASSERT_EQ(changed->size(), 2u);
  EXPECT_EQ((*changed)[0].kind, ObjectEvent::Kind::kDelete);
  EXPECT_EQ((*changed)[0].object.action, "");
  EXPECT_EQ((*changed)[0].sequence, 2);
  EXPECT_EQ((*changed)[1].kind, ObjectEvent::Kind::kAdd);
  EXPECT_EQ((*changed)[1].object.action, "create solid no,visible no");
  EXPECT_EQ((*changed)[1].sequence, 3);

  auto removed = world.remove(5);
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(removed->sequence, 4);
  EXPECT_FALSE(world.remove(5).has_value());
  EXPECT_FALSE(world.change(5, fields).has_value());
  EXPECT_EQ(world.sequence(cell), 4);

  // Adding a number again replaces the object; a move raises both cells.
  world.add(object(1, 0, 0, "old"));
  auto again = world.add(object(1, 0, 0, "new"));
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0].kind, ObjectEvent::Kind::kDelete);
  EXPECT_EQ(again[0].object.model, "old");
  EXPECT_EQ(world.objects().size(), 1u);
  ASSERT_TRUE(world.change(1, {5000, 0, 0, 0, 0, "shroom.rwx", "", ""}).has_value());
  EXPECT_EQ(world.sequence({0, 0}), 4);
  EXPECT_EQ(world.sequence({5, 0}), 1);
  EXPECT_TRUE(world.objectsIn({0, 0}).empty());
}

TEST(World, QueryCoversTheNineSectorsInCellOrder) {
  World world;
  world.add(object(3, 500, 500));      // cell (0,0), sector (0,0)
  world.add(object(1, 100, 200));      // same cell
  world.add(object(2, -8000, 15999));  // cell (-8,15), sector (-1,1)
  world.add(object(4, 16000, 0));      // cell (16,0), sector (2,0): two sectors away
  world.add(object(5, -8001, 0));      // cell (-9,0), sector (-2,0): two sectors away
  EXPECT_EQ(world.cellsAround(0, 0), (std::vector<CellKey>{{-8, 15}, {0, 0}}));
  auto objects = world.objectsIn({0, 0});
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0]->number, 1);
  EXPECT_EQ(objects[1]->number, 3);
}

TEST(QueryCursor, AnswersInRoundsTakenFromTheFirstCall) {
  World world;
  for (int i = 0; i < 5; ++i) world.add(object(i + 1, i * 1000, 0));
  QueryCursor cursor;
  QueryCursor::Round r1 = cursor.answer(world, 0, 0, 2);
  EXPECT_EQ(r1.cells.size(), 2u);
  EXPECT_FALSE(r1.complete);
  // An object added meanwhile in a new cell is not part of this query.
  world.add(object(9, 6000, 0));
  QueryCursor::Round r2 = cursor.answer(world, 0, 0, 2);
  EXPECT_EQ(r2.cells, (std::vector<CellKey>{{2, 0}, {3, 0}}));
  EXPECT_FALSE(r2.complete);
  QueryCursor::Round r3 = cursor.answer(world, 0, 0, 2);
  EXPECT_EQ(r3.cells, (std::vector<CellKey>{{4, 0}}));
  EXPECT_TRUE(r3.complete);
  // The next call starts a fresh query that sees the new cell.
  QueryCursor::Round again = cursor.answer(world, 0, 0, 0);
  EXPECT_EQ(again.cells.size(), 6u);
  EXPECT_TRUE(again.complete);

  // Another home sector starts over; one with nothing in it completes at once.
  EXPECT_FALSE(cursor.answer(world, 0, 0, 1).complete);
  QueryCursor::Round far = cursor.answer(world, 10, 10, 1);
  EXPECT_TRUE(far.cells.empty());
  EXPECT_TRUE(far.complete);
  EXPECT_EQ(cursor.answer(world, 0, 0, 1).cells, (std::vector<CellKey>{{0, 0}}));
}

}  // namespace
}  // namespace kelva::world
