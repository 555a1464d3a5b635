#include "world/core/world_file.h"

#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "world/core/name_characters.h"

namespace kelva::world {

namespace {

using nlohmann::json;

// Reads one JSON object of the world file strictly: wrong types, numbers out
// of range and unknown names are errors naming where they are.
class Section {
 public:
  Section(const json& object, std::string where) : object_(object), where_(std::move(where)) {}

  bool whole(const char* key, int64_t min, int64_t max, int64_t& out, bool required) {
    const json* v = field(key, required);
    if (!v) return !required || error_.empty();
    if (!v->is_number_integer()) return fail(std::string(key) + " must be a whole number");
    if (v->is_number_unsigned() && v->get<uint64_t>() > static_cast<uint64_t>(max))
      return fail(std::string(key) + " is out of range");
    out = v->is_number_unsigned() ? static_cast<int64_t>(v->get<uint64_t>()) : v->get<int64_t>();
    if (out < min || out > max) return fail(std::string(key) + " is out of range");
    return true;
  }
  bool long32(const char* key, int32_t& out, bool required = true) {
    int64_t v = out;
    if (!whole(key, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), v, required))
      return false;
    out = static_cast<int32_t>(v);
    return true;
  }
  bool integer16(const char* key, int16_t& out, bool required = true) {
    int64_t v = out;
    if (!whole(key, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), v, required))
      return false;
    out = static_cast<int16_t>(v);
    return true;
  }
  bool text(const char* key, std::string& out, bool required = true) {
    const json* v = field(key, required);
    if (!v) return !required || error_.empty();
    if (!v->is_string()) return fail(std::string(key) + " must be a text in double quotes");
    out = v->get<std::string>();
    return true;
  }
  bool boolean(const char* key, bool& out) {
    const json* v = field(key, false);
    if (!v) return error_.empty();
    if (!v->is_boolean()) return fail(std::string(key) + " must be true or false");
    out = v->get<bool>();
    return true;
  }
  const json* array(const char* key, bool required) {
    const json* v = field(key, required);
    if (v && !v->is_array()) {
      fail(std::string(key) + " must be a list in [ ]");
      return nullptr;
    }
    return v;
  }
  const json* object(const char* key) {
    const json* v = field(key, false);
    if (v && !v->is_object()) {
      fail(std::string(key) + " must be an object in { }");
      return nullptr;
    }
    return v;
  }
  bool fail(std::string message) {
    if (error_.empty()) error_ = where_ + message;
    return false;
  }
  bool finish() {
    if (!error_.empty()) return false;
    for (const auto& [key, value] : object_.items())
      if (!used_.count(key)) return fail("unknown name \"" + key + "\"");
    return true;
  }
  const std::string& error() const { return error_; }
  bool has(const char* key) const { return object_.contains(key); }

 private:
  const json* field(const char* key, bool required) {
    used_.insert(key);
    auto it = object_.find(key);
    if (it == object_.end()) {
      if (required) fail(std::string(key) + " is missing");
      return nullptr;
    }
    return &*it;
  }

  const json& object_;
  std::string where_;
  std::set<std::string> used_;
  std::string error_;
};

bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

std::string textProblem(std::string_view text) {
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return "it holds a control character";
  }
  if (!validUtf8(text)) return "it is not UTF-8 text";
  return "";
}

std::string nameProblem(std::string_view name) {
  if (name.empty()) return "a name needs at least one character";
  if (name.size() > kMaxNameLength) return "a name has at most " + std::to_string(kMaxNameLength) + " bytes";
  if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
    return "a name cannot begin or end with a blank";
  if (name.find('\t') != std::string_view::npos) return "a name cannot hold a tab";
  std::string problem = textProblem(name);
  if (!problem.empty()) return "the name is not usable: " + problem;
  return invisibleCharacterProblem(name);
}

std::string labelProblem(std::string_view label) {
  if (label.size() > kMaxLabelLength)
    return "label has at most " + std::to_string(kMaxLabelLength) + " bytes (a short name; the description says more)";
  if (label.find('\t') != std::string_view::npos) return "label cannot hold a tab";
  std::string problem = textProblem(label);
  if (!problem.empty()) return "label is not usable: " + problem;
  return "";
}

Result<WorldDefinition> parseWorldFile(std::string_view text, const std::string& fileName) {
  const std::string prefix = "world file " + fileName + ": ";
  json root;
  try {
    root = json::parse(text);
  } catch (const json::exception& e) {
    // Not only syntax errors: a number too large for a double is refused too.
    return Status::error(prefix + e.what());
  }
  if (!root.is_object()) return Status::error(prefix + "the file must hold one object in { }");

  WorldDefinition def;
  Section top(root, prefix);
  top.text("name", def.name);
  if (top.error().empty() && def.name.empty()) top.fail("name must not be empty");
  if (const json* entry = top.object("entry")) {
    Section e(*entry, prefix + "entry: ");
    e.long32("x", def.entryX, false);
    e.long32("y", def.entryY, false);
    e.long32("z", def.entryZ, false);
    if (!e.finish()) return Status::error(e.error());
  }
  top.long32("nearRange", def.nearRange, false);
  if (top.error().empty() && def.nearRange < 0) top.fail("nearRange must not be negative");
  top.long32("queryCellsPerAnswer", def.queryCellsPerAnswer, false);
  if (top.error().empty() && def.queryCellsPerAnswer < 0) top.fail("queryCellsPerAnswer must not be negative");
  top.boolean("guests", def.guests);
  top.boolean("signUp", def.signUp);
  int32_t maxGuests = -1;
  top.long32("maxGuests", maxGuests, false);
  if (top.error().empty() && top.has("maxGuests")) {
    if (maxGuests < 0)
      top.fail("maxGuests must not be negative");
    else
      def.maxGuests = static_cast<std::size_t>(maxGuests);
  }

  const json* bots = top.array("bots", true);
  const json* players = top.array("players", false);
  const json* objects = top.array("objects", false);
  if (!top.finish()) return Status::error(top.error());

  std::set<int32_t> citizens;
  for (std::size_t i = 0; i < bots->size(); ++i) {
    std::string where = prefix + "bots[" + std::to_string(i) + "]: ";
    if (!(*bots)[i].is_object()) return Status::error(where + "must be an object in { }");
    Section s((*bots)[i], where);
    BotAccount bot;
    s.long32("citizen", bot.citizen);
    s.text("password", bot.password);
    if (!s.finish()) return Status::error(s.error());
    if (!citizens.insert(bot.citizen).second)
      return Status::error(where + "citizen " + std::to_string(bot.citizen) + " is listed twice");
    def.bots.push_back(std::move(bot));
  }

  std::set<std::string> names;
  for (std::size_t i = 0; players && i < players->size(); ++i) {
    std::string where = prefix + "players[" + std::to_string(i) + "]: ";
    if (!(*players)[i].is_object()) return Status::error(where + "must be an object in { }");
    Section s((*players)[i], where);
    PlayerAccount player;
    s.text("name", player.name);
    s.text("password", player.password, false);
    s.text("passwordHash", player.passwordHash, false);
    s.boolean("admin", player.admin);
    if (s.error().empty() && s.has("password") == s.has("passwordHash"))
      s.fail("give either password or passwordHash (what kelva-world hash-password prints)");
    if (!s.finish()) return Status::error(s.error());
    if (std::string problem = nameProblem(player.name); !problem.empty()) return Status::error(where + problem);
    // Guests appear in double quotes; a registered name that starts with one
    // could be mistaken for a guest.
    if (player.name.front() == '"') return Status::error(where + "a registered name cannot begin with \"");
    if (!names.insert(player.name).second)
      return Status::error(where + "the name " + player.name + " is listed twice");
    def.players.push_back(std::move(player));
  }

  std::set<int32_t> numbers;
  for (std::size_t i = 0; objects && i < objects->size(); ++i) {
    std::string where = prefix + "objects[" + std::to_string(i) + "]: ";
    if (!(*objects)[i].is_object()) return Status::error(where + "must be an object in { }");
    Section s((*objects)[i], where);
    WorldObject o;
    s.long32("number", o.number);
    s.text("model", o.model);
    s.text("description", o.description, false);
    s.text("label", o.label, false);
    s.text("action", o.action, false);
    s.long32("x", o.x);
    s.long32("y", o.y, false);
    s.long32("z", o.z);
    s.integer16("yaw", o.yaw, false);
    s.long32("owner", o.owner, false);
    if (!s.finish()) return Status::error(s.error());
    // The bot reads object number 0 as "no object".
    if (o.number <= 0) return Status::error(where + "number must be 1 or more");
    if (std::string problem = labelProblem(o.label); !problem.empty()) return Status::error(where + problem);
    if (!numbers.insert(o.number).second)
      return Status::error(where + "object number " + std::to_string(o.number) + " is listed twice");
    def.objects.push_back(std::move(o));
  }
  return def;
}

Result<WorldDefinition> loadWorldFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::error("world file " + path + ": cannot be opened");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return Status::error("world file " + path + ": cannot be read");
  return parseWorldFile(bytes.str(), path);
}

}  // namespace kelva::world
