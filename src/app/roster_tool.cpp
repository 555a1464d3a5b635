#include "app/roster_tool.h"

#include <algorithm>
#include <optional>

#include "app/data_folder_lock.h"
#include "data/player_record.h"
#include "data/roster_edits.h"
#include "data/stats_file.h"

namespace kelva::app {

namespace {

// The slots the game's lookup reaches: 0 to 100.
constexpr std::size_t kFoundSlots = 101;

void list(const std::vector<PlayerRecord>& records, std::ostream& out) {
  out << records.size() << (records.size() == 1 ? " character" : " characters")
      << " (the game finds those in slots 0 to " << kFoundSlots - 1 << ")\n";
  for (std::size_t i = 0; i < records.size(); ++i) {
    out << i << "  " << records[i].name << "  level " << records[i].level << "  "
        << (isGuestName(records[i].name) ? "guest" : "registered") << (i >= kFoundSlots ? "  (not found by the game)" : "")
        << "\n";
  }
}

}  // namespace

Result<RosterRequest> parseRosterArguments(const std::vector<std::string>& args) {
  RosterRequest request;
  bool haveDir = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
      if (arg == "--data-dir") {
        if (i + 1 >= args.size()) return Status::error("--data-dir needs a value");
        request.dataDir = args[++i];
      } else {
        request.dataDir = arg.substr(11);
      }
      haveDir = true;
    } else if (arg == "--remove-guests") {
      request.removeGuests = true;
    } else if (arg == "--rename") {
      if (request.rename) return Status::error("--rename may be given once");
      if (i + 2 >= args.size()) return Status::error("--rename needs the guest's name and the new name");
      request.rename.emplace(args[i + 1], args[i + 2]);
      i += 2;
    } else if (arg == "--remove") {
      const std::size_t first = request.remove.size();
      while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) request.remove.push_back(args[++i]);
      if (request.remove.size() == first) return Status::error("--remove needs at least one name");
    } else {
      return Status::error("unknown roster argument \"" + arg + "\"");
    }
  }
  if (!haveDir || request.dataDir.empty()) return Status::error("roster needs --data-dir DIR");
  return request;
}

std::string rosterUsageText() {
  return "Usage: kelvabot roster --data-dir DIR [--remove NAME...] [--remove-guests] [--rename FROM TO]\n"
         "\n"
         "Lists the characters in DIR/stats.txt: slot, name, level, guest or\n"
         "registered (guests' names are in double quotes, as the world shows them).\n"
         "The game finds players only in slots 0 to 100, so removing characters\n"
         "who never come back makes room for newcomers. --remove takes exact\n"
         "names (letter case and quotes included: --remove '\"mira\"'); --remove-guests\n"
         "removes every guest. --rename '\"mira\"' mira moves a guest's character to\n"
         "the account name the player signed up with (refused when that name\n"
         "already has a character). The old file is kept as " +
         std::string(kRosterBackupFileName) +
         " and stats.txt\n"
         "is replaced whole; this is refused while a bot runs on DIR.\n";
}

int runRosterTool(const RosterRequest& request, FileSystem& files, std::ostream& out, std::ostream& err) {
  const bool changing = request.removeGuests || !request.remove.empty() || request.rename.has_value();
  // Held until the new file is in place, so no bot starts in between.
  std::optional<FileLock> lock;
  if (changing) {
    Result<FileLock> taken = DataFolderLock::acquire(request.dataDir);
    if (!taken.isOk()) {
      err << "kelvabot roster: " << taken.status().message() << "; nothing was changed\n";
      return 4;
    }
    lock.emplace(std::move(taken.value()));
  }

  const std::string path = dataPath(request.dataDir, kStatsFileName);
  Result<std::optional<std::string>> read = files.readFile(path);
  if (!read.isOk()) {
    err << "kelvabot roster: " << read.status().message() << "\n";
    return 3;
  }
  if (!read.value()) {
    err << "kelvabot roster: " << path << " does not exist\n";
    return 3;
  }
  const std::string& old = *read.value();
  Result<std::vector<PlayerRecord>> parsed = parseStatsFile(old, path);
  if (!parsed.isOk()) {
    err << "kelvabot roster: " << parsed.status().message() << "; nothing was changed\n";
    return 3;
  }
  std::vector<PlayerRecord> records = std::move(parsed.value());
  if (!changing) {
    list(records, out);
    return 0;
  }

  // Every name must be there: a typing mistake removes nothing at all.
  for (const std::string& name : request.remove) {
    if (std::none_of(records.begin(), records.end(), [&](const PlayerRecord& r) { return r.name == name; })) {
      err << "kelvabot roster: no character is called " << name << "; nothing was changed\n";
      return 2;
    }
  }
  // The rename first, so that a guest moved to an account name is no longer
  // a guest that --remove-guests takes away.
  if (request.rename) {
    if (Status s = renameCharacter(records, request.rename->first, request.rename->second); !s.isOk()) {
      err << "kelvabot roster: " << s.message() << "; nothing was changed\n";
      return 2;
    }
  }
  const std::size_t before = records.size();
  if (request.removeGuests) records.resize(removeGuests(records, [](const std::string&) { return false; }));
  std::erase_if(records, [&](const PlayerRecord& r) {
    return std::find(request.remove.begin(), request.remove.end(), r.name) != request.remove.end();
  });
  const std::size_t count = before - records.size();
  if (count == 0 && !request.rename) {
    out << "No character to remove; stats.txt is unchanged.\n";
    list(records, out);
    return 0;
  }

  std::string bytes;
  for (const PlayerRecord& r : records) bytes += statsLine(r) + "\r\n";
  const std::string backup = dataPath(request.dataDir, kRosterBackupFileName);
  if (Status s = files.replaceFile(backup, old); !s.isOk()) {
    err << "kelvabot roster: cannot keep the backup: " << s.message() << "; nothing was changed\n";
    return 5;
  }
  if (Status s = files.replaceFile(path, bytes); !s.isOk()) {
    err << "kelvabot roster: cannot write " << path << ": " << s.message() << "; it is unchanged\n";
    return 5;
  }
  if (request.rename) out << "Moved " << request.rename->first << "'s character to " << request.rename->second << ".\n";
  if (count > 0) out << "Removed " << count << (count == 1 ? " character" : " characters") << ".\n";
  out << "The old file is kept as " << backup << ".\n";
  list(records, out);
  return 0;
}

}  // namespace kelva::app
