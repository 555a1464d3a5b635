#include "console/roster_actions.h"

#include <algorithm>
#include <span>
#include <vector>

#include "console/console_actions.h"
#include "data/roster_edits.h"
#include "data/stats_file.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::console {

namespace {

std::span<PlayerRecord> inUse(Form1& form) {
  return std::span<PlayerRecord>(form.roster.data(), static_cast<std::size_t>(form.playerCount));
}

bool inBattle(const Form1& form, const std::string& name) {
  return std::any_of(form.battles.begin(), form.battles.end(), [&](const BattleSlot& b) {
    return !b.name1.empty() && (b.name1 == name || b.name2 == name);
  });
}

bool anyBattle(const Form1& form) {
  return std::any_of(form.battles.begin(), form.battles.end(), [](const BattleSlot& b) { return !b.name1.empty(); });
}

// Writes what earlier rounds still hold, then the changed roster; on a
// failure puts `before` back so that memory and disk agree.
Status saveOrUndo(Form1& form, const std::vector<PlayerRecord>& before, int16_t countBefore) {
  Status written = commitSaves(form);
  if (written.isOk()) {
    const std::string path = dataPath(form.dataDir, kStatsFileName);
    written = form.files.replaceFile(path, form.statsCache.format(form.roster, form.playerCount));
    if (!written.isOk()) written = Status::error("saving " + path + " failed: " + written.message());
  }
  if (written.isOk()) return written;
  std::copy(before.begin(), before.end(), form.roster.begin());
  form.playerCount = countBefore;
  return Status::error(written.message() + "; nothing was changed");
}

// The picker follows the roster: each name in it that `renamed` maps is
// replaced, each that `gone` names leaves; a picked name that changed is
// unpicked, so "Change" cannot act on a name that has no character now.
void followInPicker(Form1& form, const std::function<std::optional<std::string>(const std::string&)>& after) {
  ConsoleModel& console = form.console;
  std::vector<std::string> names;
  for (const std::string& name : console.Combo1) {
    if (auto now = after(name)) names.push_back(*now);
  }
  const auto picked = after(console.Combo1Text);
  if (console.Combo1Text != kCombo1Placeholder && (!picked || *picked != console.Combo1Text)) {
    console.Combo1Text = kCombo1Placeholder;
    console.pickedValues.reset();
  }
  console.replaceCombo1(std::move(names));
}

}  // namespace

Status renameGuestCharacter(Form1& form, const std::string& from, const std::string& to, const IsOnline& online) {
  if (online(from)) return Status::error(from + " is online; rename the character once the guest has left");
  if (inBattle(form, from)) return Status::error(from + " is in a battle; try again when it is over");
  const std::vector<PlayerRecord> before(form.roster.begin(), form.roster.begin() + form.playerCount);
  if (Status s = renameCharacter(inUse(form), from, to); !s.isOk()) return s;
  if (Status s = saveOrUndo(form, before, form.playerCount); !s.isOk()) return s;
  followInPicker(form, [&](const std::string& name) { return std::optional(name == from ? to : name); });
  form.activityLog->record("console: " + from + "'s character was renamed " + to);
  return Status::ok();
}

Result<std::size_t> removeOfflineGuests(Form1& form, const IsOnline& online) {
  // A battle holds its players' roster slots, which closing the gaps would
  // move under it.
  if (anyBattle(form)) return Status::error("a battle is under way; remove guests when no battle is");
  const int16_t countBefore = form.playerCount;
  const std::vector<PlayerRecord> before(form.roster.begin(), form.roster.begin() + countBefore);
  const std::size_t left = removeGuests(inUse(form), online);
  const std::size_t removed = static_cast<std::size_t>(countBefore) - left;
  if (removed == 0) return removed;
  form.playerCount = static_cast<int16_t>(left);
  if (Status s = saveOrUndo(form, before, countBefore); !s.isOk()) return s;
  std::vector<std::string> remaining;
  for (std::size_t i = 0; i < left; ++i) remaining.push_back(form.roster[i].name);
  followInPicker(form, [&](const std::string& name) -> std::optional<std::string> {
    const bool removedGuest = isGuestName(name) && std::find(remaining.begin(), remaining.end(), name) == remaining.end() &&
                              std::any_of(before.begin(), before.end(), [&](const PlayerRecord& r) { return r.name == name; });
    if (removedGuest) return std::nullopt;
    return name;
  });
  form.activityLog->record("console: " + std::to_string(removed) + (removed == 1 ? " guest was" : " guests were") +
                           " removed from the roster");
  return removed;
}

}  // namespace kelva::console
