// The players' commands that only tell what is there: .look, .tell and .who.
#include <algorithm>

#include "world/core/world_core.h"

namespace kelva::world {

void WorldCore::look(Entry& player) {
  const Avatar& me = player.avatar;
  std::vector<std::pair<int64_t, const WorldObject*>> seen;
  for (const auto& [number, o] : world_.objects())
    if (isVisible(o) && near(me.x, me.z, o.x, o.z)) seen.push_back({distanceSquared(me.x, me.z, o.x, o.z), &o});
  std::stable_sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  AvatarLink& self = *player.link;
  if (seen.empty()) {
    self.worldMessage("There is nothing to click near you.");
    return;
  }
  constexpr std::size_t kShown = 40;
  self.worldMessage("Near you (nearest first; .click N to click one):");
  for (std::size_t i = 0; i < seen.size() && i < kShown; ++i) {
    const WorldObject& o = *seen[i].second;
    self.worldMessage("  " + std::to_string(o.number) + " " + o.model +
                      (o.description.empty() ? std::string() : ": " + o.description));
  }
  if (seen.size() > kShown) self.worldMessage("  ... and " + std::to_string(seen.size() - kShown) + " more.");
}

void WorldCore::tell(Entry& player, const std::string& nameAndWords) {
  // The name is the longest one in the world that the line starts with,
  // followed by a blank: names may hold blanks themselves ("Old Tom").
  // Distance does not matter: a tell reaches anyone in the world.
  const Avatar& me = player.avatar;
  Entry* to = nullptr;
  std::size_t nameLength = 0;
  for (auto* table : {&players_, &bots_}) {
    for (auto& [session, e] : *table) {
      const std::string& name = e.avatar.name;
      if (e.gone || name.size() <= nameLength || name.size() >= nameAndWords.size()) continue;
      const char after = nameAndWords[name.size()];
      if ((after == ' ' || after == '\t') && nameAndWords.compare(0, name.size(), name) == 0) {
        to = &e;
        nameLength = name.size();
      }
    }
  }
  std::string_view words = nameAndWords;
  if (to) words.remove_prefix(nameLength);
  while (!words.empty() && (words.front() == ' ' || words.front() == '\t')) words.remove_prefix(1);
  if (!to || words.empty()) {
    std::string_view name = nameAndWords;
    name = name.substr(0, name.find_first_of(" \t"));
    player.link->worldMessage("There is nobody called " + std::string(name) +
                              " in the world (names as .who shows them).");
    return;
  }
  if (to == &player) {
    player.link->worldMessage("You cannot tell yourself.");
    return;
  }
  const Avatar target = to->avatar;
  player.link->echo(words, &target);
  if (target.isBot()) {
    // The bot hears a tell exactly as a chat line, so the game handles it
    // the same way; only no other player hears it.
    if (!to->eventsOff.count(static_cast<int32_t>(net::EventKind::kChat))) to->link->chat(me, words);
  } else {
    to->link->tell(me, words);
  }
}

void WorldCore::who(Entry& player) {
  std::string line = "In the world:";
  bool first = true;
  for (const auto& [session, b] : bots_) {
    if (b.gone) continue;
    line += (first ? " " : ", ") + b.avatar.name + " (bot)";
    first = false;
  }
  for (const auto& [session, p] : players_) {
    if (p.gone) continue;
    line += (first ? " " : ", ") + p.avatar.name + (&p == &player ? " (you)" : "");
    first = false;
  }
  player.link->worldMessage(line);
}

}  // namespace kelva::world
