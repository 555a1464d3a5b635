// The stats file: one line per character, 32 values, CR LF line ends.
//
// Fields 1 to 17 end with ",", the item and skill lists end with "!", the rest
// with "," and the last runs to the end of the line. Text is written as it
// stands; numbers as plain decimal integers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/player_record.h"
#include "data/result.h"

namespace kelva {

inline constexpr const char* kStatsFileName = "stats.txt";
inline constexpr const char* kStatsBackupFileName = "stats_BACKUP.txt";

// One record as its line, without the line end.
std::string statsLine(const PlayerRecord& record);

// Slots 0 to playerCount - 1, each line followed by CR LF.
std::string formatStatsFile(const Roster& roster, int playerCount);

// Reads a whole stats file. Each returned record holds the 32 stored fields
// (pvpEnabled stays false). Fails, naming `fileName` and the line, on a line
// with fewer than 32 fields, a strictly read field that is not a number, a
// value out of range for its field, or more lines than the roster holds.
Result<std::vector<PlayerRecord>> parseStatsFile(std::string_view bytes, const std::string& fileName);

// Copies the 32 stored fields of `from` into `to`; `to.pvpEnabled` is kept.
void assignStoredFields(PlayerRecord& to, const PlayerRecord& from);

}  // namespace kelva
