// Where things lie in a world: 1000 units to a cell, 8 cells to a sector,
// both rounding down, so x = -1 lies in cell -1 and cell -1 in sector -1.
#pragma once

#include <cstdint>

namespace kelva::net {

constexpr int32_t floorDivide(int32_t value, int32_t divisor) {
  int32_t q = value / divisor;
  if (value % divisor != 0 && value < 0) --q;
  return q;
}

constexpr int32_t cellFromCoordinate(int32_t coordinate) { return floorDivide(coordinate, 1000); }
constexpr int32_t sectorFromCell(int32_t cell) { return floorDivide(cell, 8); }

}  // namespace kelva::net
