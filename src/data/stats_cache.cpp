#include "data/stats_cache.h"

#include <cstring>

#include "data/stats_file.h"

namespace kelva {

const std::string& StatsFileCache::format(const Roster& roster, int playerCount) {
  const std::size_t count = playerCount > 0 ? static_cast<std::size_t>(playerCount) : 0;

  // Slots past playerCount are not written (after a reload of a shorter
  // file they still hold characters): drop their lines.
  if (madeFrom_.size() > count) {
    madeFrom_.resize(count);
    ends_.resize(count);
    file_.resize(count == 0 ? 0 : ends_.back());
  }
  const std::size_t cached = madeFrom_.size();

  changed_.clear();
  for (std::size_t i = 0; i < cached; ++i) {
    if (!(madeFrom_[i] == roster[i])) changed_.push_back(i);
  }
  if (changed_.size() > fresh_.size()) fresh_.resize(changed_.size());

  // Format the changed lines; when each keeps its length (gold 15 to 20, hp
  // 9 to 8), they are written over their old bytes and nothing moves.
  bool sameLengths = true;
  for (std::size_t k = 0; k < changed_.size(); ++k) {
    const std::size_t i = changed_[k];
    fresh_[k] = statsLine(roster[i]);
    fresh_[k] += "\r\n";
    madeFrom_[i] = roster[i];
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    if (fresh_[k].size() != ends_[i] - begin) sameLengths = false;
  }
  if (sameLengths) {
    for (std::size_t k = 0; k < changed_.size(); ++k) {
      const std::size_t i = changed_[k];
      std::memcpy(file_.data() + (i == 0 ? 0 : ends_[i - 1]), fresh_[k].data(), fresh_[k].size());
    }
  } else {
    // Keep everything before the first changed line; build the rest anew
    // from the fresh lines and the old bytes of the unchanged ones.
    const std::size_t first = changed_.front();
    const std::size_t keep = first == 0 ? 0 : ends_[first - 1];
    rebuilt_.assign(file_, 0, keep);
    rebuilt_.reserve(file_.size() + 64 * changed_.size());
    std::size_t k = 0;
    std::size_t oldBegin = keep;
    for (std::size_t i = first; i < cached; ++i) {
      const std::size_t oldEnd = ends_[i];
      if (k < changed_.size() && changed_[k] == i) {
        rebuilt_ += fresh_[k++];
      } else {
        rebuilt_.append(file_, oldBegin, oldEnd - oldBegin);
      }
      oldBegin = oldEnd;
      ends_[i] = rebuilt_.size();
    }
    file_.swap(rebuilt_);
  }

  // Characters that were never saved yet.
  for (std::size_t i = cached; i < count; ++i) {
    file_ += statsLine(roster[i]);
    file_ += "\r\n";
    madeFrom_.push_back(roster[i]);
    ends_.push_back(file_.size());
  }
  return file_;
}

}  // namespace kelva
