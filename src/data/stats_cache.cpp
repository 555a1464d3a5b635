#include "data/stats_cache.h"

#include <cstddef>

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

  // Format the changed lines.
  for (std::size_t k = 0; k < changed_.size(); ++k) {
    const std::size_t i = changed_[k];
    fresh_[k] = statsLine(roster[i]);
    fresh_[k] += "\r\n";
    madeFrom_[i] = roster[i];
  }
  auto lineBegin = [this](std::size_t i) { return i == 0 ? std::size_t{0} : ends_[i - 1]; };

  if (changed_.size() <= kSpliceLimit) {
    // The usual save after one character changed: each fresh line is put in
    // place of its old one, the last first so that the offsets of the
    // earlier ones still hold; only the bytes after a line that changed its
    // length move. Then the line ends from the first change on are shifted.
    lengthChange_.resize(changed_.size());
    for (std::size_t k = changed_.size(); k-- > 0;) {
      const std::size_t i = changed_[k];
      const std::size_t oldLength = ends_[i] - lineBegin(i);
      lengthChange_[k] = static_cast<std::ptrdiff_t>(fresh_[k].size()) - static_cast<std::ptrdiff_t>(oldLength);
      file_.replace(lineBegin(i), oldLength, fresh_[k]);
    }
    std::ptrdiff_t shift = 0;
    std::size_t k = 0;
    for (std::size_t i = changed_.empty() ? cached : changed_.front(); i < cached; ++i) {
      if (k < changed_.size() && changed_[k] == i) shift += lengthChange_[k++];
      ends_[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(ends_[i]) + shift);
    }
  } else {
    // Many lines changed (a reload, say): build the file again from the
    // first changed line on, from the fresh lines and the old bytes of the
    // unchanged ones.
    const std::size_t first = changed_.front();
    const std::size_t keep = lineBegin(first);
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
