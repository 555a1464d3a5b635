#include "world/core/spatial_grid.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

namespace kelva::world {
namespace {

struct Item {
  std::string name;
  int32_t x = 0;
  int32_t z = 0;
  GridSquare square;
};

// Who a walk around (x, z) visits, in name order, with how often.
std::map<std::string, int> visits(SpatialGrid<Item>& grid, int32_t x, int32_t z) {
  std::map<std::string, int> seen;
  grid.forEachAround(x, z, [&](Item& i) { ++seen[i.name]; });
  return seen;
}

TEST(SpatialGrid, SquaresRoundDownOnBothSidesOfZeroAndReachTheWorldsEdges) {
  struct Case {
    int64_t size;
    int32_t v;
    int64_t square;
  };
  const Case cases[] = {
      {100, 0, 0},    {100, 99, 0},    {100, 100, 1},   {100, 199, 1},   {100, -1, -1},
      {100, -100, -1}, {100, -101, -2}, {1, -1, -1},     {1, 5, 5},
      {0, 7, 7},  // a range below 1 is taken as 1
      {-3, -7, -7},
      {1000, INT32_MAX, INT32_MAX / 1000},
      {1000, INT32_MIN, -((-int64_t{INT32_MIN} + 999) / 1000)},
      {1, INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) {
    SpatialGrid<Item> grid(c.size);
    EXPECT_EQ(grid.squareOf(c.v, 0).x, c.square) << c.size << " " << c.v;
    EXPECT_EQ(grid.squareOf(0, c.v).z, c.square) << c.size << " " << c.v;
  }
}

TEST(SpatialGrid, AWalkVisitsTheNineSquaresAroundThePointAndNoFurther) {
  SpatialGrid<Item> grid(100);
  std::vector<Item> items;
  // One item in each square from -2 to 2 on both axes, at the square's
  // corner nearest zero or its far corner by turns.
  for (int sx = -2; sx <= 2; ++sx)
    for (int sz = -2; sz <= 2; ++sz)
      items.push_back({std::to_string(sx) + "," + std::to_string(sz), sx * 100 + ((sx + sz) % 2 ? 99 : 0),
                       sz * 100 + ((sx + sz) % 2 ? 0 : 99), {}});
  for (Item& i : items) i.square = grid.file(&i, i.x, i.z);
  EXPECT_EQ(grid.squaresInUse(), 25u);

  struct Case {
    int32_t x, z;
    int firstSquareX, firstSquareZ;
  };
  for (const Case& c : {Case{0, 0, -1, -1}, Case{99, 99, -1, -1}, Case{-1, -1, -2, -2}, Case{100, -100, 0, -2}}) {
    std::map<std::string, int> expected;
    for (int sx = c.firstSquareX; sx < c.firstSquareX + 3; ++sx)
      for (int sz = c.firstSquareZ; sz < c.firstSquareZ + 3; ++sz) expected[std::to_string(sx) + "," + std::to_string(sz)] = 1;
    EXPECT_EQ(visits(grid, c.x, c.z), expected) << c.x << "," << c.z;
  }

  // Moving within a square keeps it; across a border files it anew, and an
  // emptied square is given back.
  Item& corner = items.front();  // "-2,-2", alone in its square
  EXPECT_EQ(grid.move(&corner, corner.square, -101, -101), corner.square);
  corner.square = grid.move(&corner, corner.square, -100, -101);
  EXPECT_EQ(corner.square, (GridSquare{-1, -2}));
  EXPECT_EQ(grid.squaresInUse(), 24u);
  EXPECT_EQ(visits(grid, 50, -150).count("-2,-2"), 1u);
  grid.unfile(&corner, corner.square);
  EXPECT_EQ(visits(grid, 50, -150).count("-2,-2"), 0u);
}

// A visitor that changes the grid (someone told of an arrival walks away,
// leaves, or is joined by another) must not make the walk skip anyone,
// visit anyone twice or read a square that was given back.
TEST(SpatialGrid, AWalkVisitsEveryoneFiledWhenItBeganOnceWhateverTheVisitorsDo) {
  SpatialGrid<Item> grid(100);
  std::vector<Item> crowd(6);
  for (std::size_t i = 0; i < crowd.size(); ++i) {
    crowd[i].name = "p" + std::to_string(i);
    crowd[i].square = grid.file(&crowd[i], static_cast<int32_t>(i), 0);
  }
  Item late{"late", 5, 5, {}};
  std::map<std::string, int> inner;
  std::map<std::string, int> seen;
  grid.forEachAround(0, 0, [&](Item& i) {
    ++seen[i.name];
    if (i.name == "p0") {
      // Everyone walks far away: the square empties and is given back.
      for (Item& c : crowd) c.square = grid.move(&c, c.square, 100000, 0);
      late.square = grid.file(&late, late.x, late.z);
    }
    if (i.name == "p2") inner = visits(grid, 100000, 0);  // a walk inside the walk
    if (i.name == "p3") grid.unfile(&i, i.square);
  });
  std::map<std::string, int> everyone;
  for (const Item& c : crowd) everyone[c.name] = 1;
  EXPECT_EQ(seen, everyone);
  EXPECT_EQ(inner, everyone);
  EXPECT_EQ(visits(grid, 0, 0), (std::map<std::string, int>{{"late", 1}}));
  everyone.erase("p3");
  EXPECT_EQ(visits(grid, 100000, 0), everyone);
}

}  // namespace
}  // namespace kelva::world
