// Where the players stand, filed for "who is near this point": the ground is
// cut into squares as wide as the world's near range, so everyone within the
// range of a point stands in the nine squares around it. The grid files
// items by position only; the caller keeps each item's square (`file` and
// `move` return it) and decides what "near" means within those squares.
//
// A walk (`forEachAround`) goes over the items filed around the point when
// it began, each once, and is safe against anything the visitor does to the
// grid meanwhile: filing, moving or unfiling any item (the one visited too),
// and walking again inside the walk. An item unfiled during a walk may still
// be visited by it: the caller marks such items and skips them, and must
// keep them alive until the walk is over.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

namespace kelva::world {

struct GridSquare {
  int64_t x = 0;
  int64_t z = 0;
  bool operator==(const GridSquare&) const = default;
};

template <typename Item>
class SpatialGrid {
 public:
  // `squareSize` is the near range; below 1 it is taken as 1.
  explicit SpatialGrid(int64_t squareSize) : size_(std::max<int64_t>(squareSize, 1)) {}

  GridSquare squareOf(int32_t x, int32_t z) const {
    // Rounding down, so that -1 and 0 lie in different squares.
    auto down = [&](int64_t v) { return v >= 0 ? v / size_ : -((-v + size_ - 1) / size_); };
    return {down(x), down(z)};
  }

  GridSquare file(Item* item, int32_t x, int32_t z) {
    const GridSquare square = squareOf(x, z);
    squares_[square].push_back(item);
    return square;
  }

  // `square` is the one `file` or `move` returned for the item.
  void unfile(Item* item, GridSquare square) {
    auto it = squares_.find(square);
    if (it == squares_.end()) return;
    std::vector<Item*>& filed = it->second;
    auto at = std::find(filed.begin(), filed.end(), item);
    if (at != filed.end()) {
      *at = filed.back();
      filed.pop_back();
    }
    if (filed.empty()) squares_.erase(it);
  }

  // The item's square after it moved to (x, z).
  GridSquare move(Item* item, GridSquare from, int32_t x, int32_t z) {
    if (squareOf(x, z) == from) return from;
    unfile(item, from);
    return file(item, x, z);
  }

  // Calls `visit(Item&)` for every item filed in the nine squares around
  // (x, z) when the call began.
  template <typename Visit>
  void forEachAround(int32_t x, int32_t z, Visit&& visit) {
    // The walk goes over a copy: a visitor that files or unfiles someone
    // changes the squares' lists (and may erase a square) under it. One
    // copy per depth of nested walks, kept for the next walk at that depth,
    // so that walking costs no allocation once the grid is in use.
    if (depth_ == snapshots_.size()) snapshots_.emplace_back();
    std::vector<Item*>& snapshot = snapshots_[depth_];
    snapshot.clear();
    const GridSquare centre = squareOf(x, z);
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dz = -1; dz <= 1; ++dz) {
        auto it = squares_.find({centre.x + dx, centre.z + dz});
        if (it != squares_.end()) snapshot.insert(snapshot.end(), it->second.begin(), it->second.end());
      }
    }
    ++depth_;
    struct Leave {
      std::size_t& depth;
      ~Leave() { --depth; }
    } leave{depth_};
    for (Item* item : snapshot) visit(*item);
  }

  // Squares with anyone in them (an empty square is given back).
  std::size_t squaresInUse() const { return squares_.size(); }

 private:
  struct SquareHash {
    std::size_t operator()(const GridSquare& s) const { return std::hash<int64_t>()(s.x * 1000003 + s.z); }
  };

  int64_t size_;
  std::unordered_map<GridSquare, std::vector<Item*>, SquareHash> squares_;
  std::deque<std::vector<Item*>> snapshots_;  // a deque: a nested walk adds one and moves none
  std::size_t depth_ = 0;
};

}  // namespace kelva::world
