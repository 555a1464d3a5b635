#include "world/core/player_input.h"

#include <cctype>
#include <charconv>
#include <optional>

namespace kelva::world {

const char* const kHelpLine =
    "* Actions: .look (objects near you), .who (who is here), .click N (click object N), "
    ".attack NAME (click an avatar), .move X Z (walk to X Z), .where (where you are), "
    ".tell NAME TEXT (say TEXT to NAME alone), .register PASSWORD (a guest's name becomes an account), "
    ".password OLD NEW, .help, .quit. "
    "Any other line is chat; game commands start with / (try /commands) and only the bot hears them.";

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A whole number with an optional sign, in long range, and nothing else.
std::optional<int32_t> wholeNumber(std::string_view s) {
  if (s.empty()) return std::nullopt;
  bool negative = s.front() == '-';
  if (s.front() == '+' || s.front() == '-') s.remove_prefix(1);
  if (s.empty() || !std::isdigit(static_cast<unsigned char>(s.front()))) return std::nullopt;
  int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(v);
}

PlayerAction misused(const char* usage) { return {PlayerActionKind::kMisused, usage, 0, 0, 0}; }

}  // namespace

PlayerAction parsePlayerLine(std::string_view line) {
  PlayerAction action;
  if (trim(line).empty()) return action;
  if (line.size() < 2 || line[0] != '.' || !std::isalpha(static_cast<unsigned char>(line[1]))) {
    action.kind = PlayerActionKind::kChat;
    action.text = std::string(line);
    return action;
  }

  std::size_t blank = line.find_first_of(" \t");
  std::string word(line.substr(0, blank));
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string_view args = blank == std::string_view::npos ? std::string_view() : trim(line.substr(blank));

  if (word == ".look") {
    action.kind = PlayerActionKind::kLook;
  } else if (word == ".who") {
    action.kind = PlayerActionKind::kWho;
  } else if (word == ".where") {
    action.kind = PlayerActionKind::kWhere;
  } else if (word == ".help") {
    action.kind = PlayerActionKind::kHelp;
  } else if (word == ".quit") {
    action.kind = PlayerActionKind::kQuit;
  } else if (word == ".click") {
    std::optional<int32_t> n = wholeNumber(args);
    if (!n) return misused("* Use: .click N, where N is an object number from .look");
    action.kind = PlayerActionKind::kClick;
    action.number = *n;
  } else if (word == ".attack") {
    if (args.empty()) return misused("* Use: .attack NAME, with the name exactly as .who shows it");
    action.kind = PlayerActionKind::kAttack;
    action.text = std::string(args);
  } else if (word == ".tell") {
    // The name may hold blanks, so where it ends is left to the world, which
    // knows the names; here the line only needs a name and some words.
    if (args.find_first_of(" \t") == std::string_view::npos)
      return misused("* Use: .tell NAME TEXT, with the name exactly as .who shows it");
    action.kind = PlayerActionKind::kTell;
    action.text = std::string(args);
  } else if (word == ".move") {
    std::size_t gap = args.find_first_of(" \t");
    std::optional<int32_t> x = gap == std::string_view::npos ? std::nullopt : wholeNumber(args.substr(0, gap));
    std::optional<int32_t> z = gap == std::string_view::npos ? std::nullopt : wholeNumber(trim(args.substr(gap)));
    if (!x || !z) return misused("* Use: .move X Z, two whole numbers (1000 units to a cell)");
    action.kind = PlayerActionKind::kMove;
    action.x = *x;
    action.z = *z;
  } else {
    action.kind = PlayerActionKind::kUnknown;
    action.text = std::string(line.substr(0, blank));
  }
  return action;
}

}  // namespace kelva::world
