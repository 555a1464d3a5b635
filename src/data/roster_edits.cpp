#include "data/roster_edits.h"

#include <algorithm>

namespace kelva {

bool isGuestName(const std::string& name) { return name.size() >= 2 && name.front() == '"' && name.back() == '"'; }

Status renameCharacter(std::span<PlayerRecord> records, const std::string& from, const std::string& to) {
  const auto named = [&](const std::string& name) {
    return std::find_if(records.begin(), records.end(), [&](const PlayerRecord& r) { return r.name == name; });
  };
  if (!isGuestName(from)) return Status::error(from + " is not a guest's name (a guest's is in double quotes)");
  if (to.empty()) return Status::error("the new name is empty");
  if (isGuestName(to) || to.find('"') != std::string::npos)
    return Status::error("the new name " + to + " must be an account name, without double quotes");
  // The stats file separates fields with commas and records with line ends;
  // the world refuses such names too, so no avatar could ever play it.
  if (to.find_first_of(",\r\n") != std::string::npos)
    return Status::error("the new name " + to + " holds a comma or a line break");
  const auto source = named(from);
  if (source == records.end()) return Status::error("no character is called " + from);
  if (named(to) != records.end()) return Status::error(to + " already has a character");
  source->name = to;
  return Status::ok();
}

std::size_t removeGuests(std::span<PlayerRecord> records, const std::function<bool(const std::string&)>& keep) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (isGuestName(records[i].name) && !keep(records[i].name)) continue;
    if (kept != i) records[kept] = std::move(records[i]);
    ++kept;
  }
  for (std::size_t i = kept; i < records.size(); ++i) records[i] = PlayerRecord{};
  return kept;
}

}  // namespace kelva
