#include "data/stats_file.h"

#include <functional>

#include "data/checked.h"
#include "data/data_lines.h"
#include "data/numbers.h"

namespace kelva {

std::string statsLine(const PlayerRecord& r) {
  std::string s;
  s.reserve(160 + r.name.size() + r.items.size() + r.skills.size());
  auto n = [&s](int64_t v, char sep) {
    s += std::to_string(v);
    s += sep;
  };
  auto t = [&s](const std::string& v, char sep) {
    s += v;
    s += sep;
  };
  t(r.name, ',');
  n(r.level, ',');
  t(r.race, ',');
  t(r.clan, ',');
  n(r.strength, ',');
  n(r.speed, ',');
  n(r.charisma, ',');
  n(r.maxCharisma, ',');
  n(r.hp, ',');
  n(r.maxHp, ',');
  n(r.mp, ',');
  n(r.maxMp, ',');
  n(r.gold, ',');
  n(r.ac, ',');
  n(r.exp, ',');
  n(r.weaponId, ',');
  n(r.armorId, ',');
  t(r.items, '!');
  t(r.skills, '!');
  n(r.clanAcBonus, ',');
  n(r.clanCharismaBonus, ',');
  n(r.clanMaxHpBonus, ',');
  n(r.clanMaxMpBonus, ',');
  t(r.shroomType, ',');
  n(r.clanSpeedBonus, ',');
  n(r.clanStrengthBonus, ',');
  n(r.baseAc, ',');
  n(r.baseMaxCharisma, ',');
  n(r.baseMaxHp, ',');
  n(r.baseMaxMp, ',');
  n(r.baseSpeed, ',');
  s += std::to_string(r.baseStrength);
  return s;
}

std::string formatStatsFile(const Roster& roster, int playerCount) {
  std::string out;
  for (int i = 0; i < playerCount; ++i) {
    out += statsLine(roster[static_cast<std::size_t>(i)]);
    out += "\r\n";
  }
  return out;
}

namespace {

enum class Conv { kText, kLenientLong, kLenientInteger, kStrictLong, kStrictInteger };

struct StatsField {
  const char* name;
  char separator;  // '\0' for the last field
  Conv conv;
  std::function<void(PlayerRecord&, std::string_view)> store;
};

template <typename M>
auto text(M PlayerRecord::*m) {
  return [m](PlayerRecord& r, std::string_view v) { r.*m = std::string(v); };
}
auto lenLong(int32_t PlayerRecord::*m) {
  return [m](PlayerRecord& r, std::string_view v) { r.*m = lenientLong(v); };
}
auto lenInt(int16_t PlayerRecord::*m) {
  return [m](PlayerRecord& r, std::string_view v) { r.*m = lenientInteger(v); };
}
auto strLong(int32_t PlayerRecord::*m) {
  return [m](PlayerRecord& r, std::string_view v) { r.*m = strictLong(v); };
}
auto strInt(int16_t PlayerRecord::*m) {
  return [m](PlayerRecord& r, std::string_view v) { r.*m = strictInteger(v); };
}

const std::vector<StatsField>& statsFields() {
  static const std::vector<StatsField> fields = {
      {"name", ',', Conv::kText, text(&PlayerRecord::name)},
      {"level", ',', Conv::kLenientLong, lenLong(&PlayerRecord::level)},
      {"race", ',', Conv::kText, text(&PlayerRecord::race)},
      {"clan", ',', Conv::kText, text(&PlayerRecord::clan)},
      {"strength", ',', Conv::kLenientLong, lenLong(&PlayerRecord::strength)},
      {"speed", ',', Conv::kLenientLong, lenLong(&PlayerRecord::speed)},
      {"charisma", ',', Conv::kLenientLong, lenLong(&PlayerRecord::charisma)},
      {"maxCharisma", ',', Conv::kLenientLong, lenLong(&PlayerRecord::maxCharisma)},
      {"hp", ',', Conv::kLenientLong, lenLong(&PlayerRecord::hp)},
      {"maxHp", ',', Conv::kLenientLong, lenLong(&PlayerRecord::maxHp)},
      {"mp", ',', Conv::kLenientLong, lenLong(&PlayerRecord::mp)},
      {"maxMp", ',', Conv::kLenientLong, lenLong(&PlayerRecord::maxMp)},
      {"gold", ',', Conv::kLenientLong, lenLong(&PlayerRecord::gold)},
      {"ac", ',', Conv::kLenientLong, lenLong(&PlayerRecord::ac)},
      {"exp", ',', Conv::kLenientLong, lenLong(&PlayerRecord::exp)},
      {"weaponId", ',', Conv::kLenientInteger, lenInt(&PlayerRecord::weaponId)},
      {"armorId", ',', Conv::kLenientInteger, lenInt(&PlayerRecord::armorId)},
      {"items", '!', Conv::kText, text(&PlayerRecord::items)},
      {"skills", '!', Conv::kText, text(&PlayerRecord::skills)},
      {"clanAcBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanAcBonus)},
      {"clanCharismaBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanCharismaBonus)},
      {"clanMaxHpBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanMaxHpBonus)},
      {"clanMaxMpBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanMaxMpBonus)},
      {"shroomType", ',', Conv::kText, text(&PlayerRecord::shroomType)},
      {"clanSpeedBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanSpeedBonus)},
      {"clanStrengthBonus", ',', Conv::kStrictInteger, strInt(&PlayerRecord::clanStrengthBonus)},
      {"baseAc", ',', Conv::kStrictLong, strLong(&PlayerRecord::baseAc)},
      {"baseMaxCharisma", ',', Conv::kStrictLong, strLong(&PlayerRecord::baseMaxCharisma)},
      {"baseMaxHp", ',', Conv::kStrictLong, strLong(&PlayerRecord::baseMaxHp)},
      {"baseMaxMp", ',', Conv::kStrictLong, strLong(&PlayerRecord::baseMaxMp)},
      {"baseSpeed", ',', Conv::kStrictLong, strLong(&PlayerRecord::baseSpeed)},
      {"baseStrength", '\0', Conv::kStrictLong, strLong(&PlayerRecord::baseStrength)},
  };
  return fields;
}

}  // namespace

Result<std::vector<PlayerRecord>> parseStatsFile(std::string_view bytes, const std::string& fileName) {
  std::vector<PlayerRecord> records;
  // A file of one byte or none holds no character.
  if (bytes.size() <= 1) return records;
  const auto lines = readDataLines(bytes);
  if (lines.size() > static_cast<std::size_t>(kRosterSize)) {
    return Status::error(fileName + ": " + std::to_string(lines.size()) + " lines, but the roster holds " +
                         std::to_string(kRosterSize) + " characters");
  }
  records.reserve(lines.size());
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string where = fileName + " line " + std::to_string(li + 1) + ": ";
    std::string_view rest = lines[li];
    PlayerRecord r;
    for (const StatsField& f : statsFields()) {
      std::string_view value = rest;
      if (f.separator != '\0' && !cutField(rest, f.separator, value)) {
        return Status::error(where + "fewer than 32 fields (no \"" + std::string(1, f.separator) +
                             "\" after " + f.name + ")");
      }
      try {
        f.store(r, value);
      } catch (const GameError& e) {
        return Status::error(where + f.name + " \"" + std::string(value) + "\": " +
                             (e.kind() == GameErrorKind::kOverflow ? "out of range" : "not a number"));
      }
    }
    records.push_back(std::move(r));
  }
  return records;
}

void assignStoredFields(PlayerRecord& to, const PlayerRecord& from) {
  const bool pvp = to.pvpEnabled;
  to = from;
  to.pvpEnabled = pvp;
}

}  // namespace kelva
