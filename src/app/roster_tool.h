// The operator's roster tool:
//   kelvabot roster --data-dir DIR [--remove NAME...] [--remove-guests] [--rename FROM TO]
//
// Lists the characters of a data folder's stats file, removes the ones the
// operator names, and moves a guest's character to the player's account name
// (--rename '"mira"' mira) once the player has signed up. It matters because the game looks players up only in
// the first 101 roster slots: once guests who never come back fill them, a
// newcomer's character lands in a slot the game never finds, and the
// newcomer cannot play. The rewrite replaces stats.txt atomically after
// keeping the old file as a backup, and is refused while a bot runs on the
// folder (it would overwrite the change at its next save).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "data/file_system.h"
#include "data/result.h"

namespace kelva::app {

// The backup the tool writes before it changes stats.txt: the old file, byte for byte.
inline constexpr const char* kRosterBackupFileName = "stats_ROSTER_BACKUP.txt";

struct RosterRequest {
  std::string dataDir;
  std::vector<std::string> remove;  // exact names, letter case included
  bool removeGuests = false;        // every name in double quotes
  // A guest's character to move to an account name: {from, to}.
  std::optional<std::pair<std::string, std::string>> rename;
};

// Reads the arguments after "roster". --data-dir is required; names after
// --remove run up to the next option.
Result<RosterRequest> parseRosterArguments(const std::vector<std::string>& args);

// The tool's text for --help and mistakes.
std::string rosterUsageText();

// Lists, or renames and removes and then lists. Returns the exit status: 0
// done, 2 a name that no character has or a refused rename (nothing changed), 3 the stats file cannot be
// read or loaded, 4 a bot runs on the folder or it cannot be locked, 5 the
// backup or the new file could not be written (the old file is intact).
int runRosterTool(const RosterRequest& request, FileSystem& files, std::ostream& out, std::ostream& err);

}  // namespace kelva::app
