// The stats file kept formatted between saves.
//
// The game rewrites the whole stats file after every change to any
// character, so most saves differ from the last one in a single line. The
// cache keeps each line with a copy of the record it was made from and
// formats again only the records that no longer equal their copy. Any change
// to a record, by any code path (a command, a battle, a reload, the operator's
// editor), makes it differ from its copy, so a stale line is never served:
// the bytes are always exactly those of formatStatsFile.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/player_record.h"

namespace kelva {

class StatsFileCache {
 public:
  // The stats file of roster slots 0 to playerCount - 1, byte for byte as
  // formatStatsFile(roster, playerCount) makes it. The reference stays valid
  // until the next call.
  const std::string& format(const Roster& roster, int playerCount);
  // The bytes of the last format, unchanged since; empty before the first.
  const std::string& lastFormatted() const { return file_; }

 private:
  std::vector<PlayerRecord> madeFrom_;  // slot i's record when line i was made
  std::vector<std::size_t> ends_;       // where line i ends in file_, CR LF included
  std::string file_;
  // Working space kept between calls so that a save allocates nothing new.
  std::vector<std::size_t> changed_;
  std::vector<std::string> fresh_;
  std::vector<std::ptrdiff_t> lengthChange_;
  std::string rebuilt_;
  // Up to this many changed lines are put in place one by one; more (after
  // a reload) and the file is built again from the first of them.
  static constexpr std::size_t kSpliceLimit = 16;
};

}  // namespace kelva
