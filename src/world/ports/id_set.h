// A small set of sessions or object numbers, kept as one sorted array: what
// a browser has been shown of the world. A thousand browsers at one spot
// each know a thousand avatars, and a node per id would cost ten times the
// bytes of the ids themselves.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kelva::world {

class IdSet {
 public:
  bool contains(int32_t id) const { return std::binary_search(ids_.begin(), ids_.end(), id); }
  void insert(int32_t id) {
    auto at = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (at == ids_.end() || *at != id) ids_.insert(at, id);
  }
  // Whether `id` was there.
  bool erase(int32_t id) {
    auto at = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (at == ids_.end() || *at != id) return false;
    ids_.erase(at);
    return true;
  }
  // Removes every id for which `gone` says so.
  template <typename Gone>
  void eraseIf(Gone gone) {
    std::erase_if(ids_, gone);
  }

 private:
  std::vector<int32_t> ids_;
};

}  // namespace kelva::world
