// The world's administrators, from any player port: .kick NAME sends a
// player out of the world, .ban NAME [MINUTES] keeps an account out (for
// good when no minutes are given) and lets it go if it is in, .announce TEXT
// is heard by everyone in the world. Whether the speaker is an administrator
// is read from the store at each command, so a right given or taken with the
// accounts tool counts at once. Every action goes to the world's log: who,
// what, whom.
#include <ctime>

#include "world/core/world_accounts.h"
#include "world/ports/player_gate.h"

namespace kelva::world {

namespace {

constexpr std::string_view kKick = ".kick";
constexpr std::string_view kBan = ".ban";
constexpr std::string_view kAnnounce = ".announce";

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Whether `word` is meant as a number of minutes (even a wrong one).
bool looksLikeMinutes(std::string_view word) {
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) word.remove_prefix(1);
  return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::optional<std::string_view> commandArguments(std::string_view line, std::string_view command) {
  if (!line.starts_with(command)) return std::nullopt;
  line.remove_prefix(command.size());
  if (line.empty()) return std::string_view();
  if (line.front() != ' ') return std::nullopt;
  return line.substr(1);
}

bool PlayerGate::adminCommand(std::string_view line, const std::string& shownName, AvatarKind kind) {
  std::string_view command;
  std::optional<std::string_view> words;
  for (std::string_view c : {kKick, kBan, kAnnounce}) {
    if ((words = commandArguments(line, c))) {
      command = c;
      break;
    }
  }
  if (!words) return false;
  std::optional<AccountRecord> me = kind == AvatarKind::kRegistered ? core_.account(shownName) : std::nullopt;
  if (!me || !me->admin) {
    voice_.tellPlayer("Only an administrator of the world may use " + std::string(command) + ".");
    return true;
  }
  const std::string_view args = trimmed(*words);
  if (command == kKick) {
    kick(shownName, args);
  } else if (command == kBan) {
    ban(shownName, args);
  } else if (args.empty()) {
    voice_.tellPlayer("Type .announce TEXT.");
  } else {
    hub_.log(shownName + " announced: " + std::string(args));
    core_.announce("Announcement from " + shownName + ": " + std::string(args));
  }
  return true;
}

void PlayerGate::kick(const std::string& admin, std::string_view name) {
  if (name.empty()) {
    voice_.tellPlayer("Type .kick NAME (as .who shows it).");
    return;
  }
  // A guest may be named as .who shows them, or as they typed their name.
  std::string target(name);
  const Avatar* who = core_.avatarNamed(target);
  if (!who) {
    target = "\"" + target + "\"";
    who = core_.avatarNamed(target);
  }
  if (!who || who->isBot()) {
    voice_.tellPlayer("There is no player called " + std::string(name) + " in the world (names as .who shows them).");
    return;
  }
  if (target == admin) {
    voice_.tellPlayer("You cannot kick yourself; .quit leaves the world.");
    return;
  }
  hub_.log(admin + " kicked " + target);
  core_.sendAway(target, admin + " sent you out of the world. Goodbye.");
  voice_.tellPlayer(target + " was sent out of the world.");
}

void PlayerGate::ban(const std::string& admin, std::string_view words) {
  const char* const usage = "Type .ban NAME [MINUTES] (no minutes: until the ban is lifted).";
  if (words.empty()) {
    voice_.tellPlayer(usage);
    return;
  }
  // Names may hold blanks ("Old Tom"), so a last word of digits is the
  // minutes only when the whole line is no account's name.
  std::string name(words);
  std::string_view minutes;
  if (!core_.account(name)) {
    const std::size_t blank = words.find_last_of(" \t");
    if (blank != std::string_view::npos && looksLikeMinutes(words.substr(blank + 1))) {
      name = std::string(trimmed(words.substr(0, blank)));
      minutes = words.substr(blank + 1);
    }
  }
  int64_t until = kBannedForever;
  if (!minutes.empty()) {
    Result<int64_t> end = banEndFrom(minutes, static_cast<int64_t>(std::time(nullptr)));
    if (!end.isOk()) {
      voice_.tellPlayer("Nobody was banned: " + end.status().message() + ". " + usage);
      return;
    }
    until = end.value();
  }
  // Only an account can be kept out; a guest comes back under any name.
  if (!core_.account(name)) {
    voice_.tellPlayer("There is no account " + name + "; a guest can only be kicked (.kick).");
    return;
  }
  if (name == admin) {
    voice_.tellPlayer("You cannot ban yourself.");
    return;
  }
  if (Status saved = core_.accounts()->setBannedUntil(name, until); !saved.isOk()) {
    hub_.log(admin + " could not ban " + name + ": " + saved.message());
    voice_.tellPlayer(name + " was not banned: " + saved.message() + ".");
    return;
  }
  const std::string end = banEndText(until);
  hub_.log(admin + " banned " + name + " " + end);
  core_.sendAway(name, "You are banned from this world " + end + ". Goodbye.");
  voice_.tellPlayer(name + " is banned " + end + ".");
}

}  // namespace kelva::world
