#include "data/player_record.h"

#include "data/checked.h"
#include "data/numbers.h"

namespace kelva {

void setStartingValues(PlayerRecord& r, const std::string& name) {
  r.name = name;
  r.level = 1;
  r.race = "Human";
  r.clan = "none";
  r.strength = 10;
  r.speed = 10;
  r.charisma = 10;
  r.maxCharisma = 10;
  r.hp = 15;
  r.maxHp = 15;
  r.mp = 0;
  r.maxMp = 0;
  r.gold = 5;
  r.ac = 0;
  r.exp = 0;
  r.weaponId = 0;
  r.armorId = 0;
  r.baseAc = 0;
  r.baseMaxCharisma = 10;
  r.baseMaxHp = 15;
  r.baseMaxMp = 0;
  r.baseSpeed = 10;
  r.baseStrength = 10;
}

int16_t userpos(const Roster& roster, std::string_view name) {
  for (int i = 0; i <= kUserposLastSlot; ++i) {
    if (roster[static_cast<std::size_t>(i)].name == name) return static_cast<int16_t>(i);
  }
  return kNoPlayer;
}

int32_t countInList(std::string_view list, std::string_view iname) {
  if (list.empty()) return 0;
  const std::string wanted = toLowerAscii(iname);
  int32_t count = 0;
  std::string_view rest = list;
  while (true) {
    const auto comma = rest.find(',');
    const std::string_view entry = comma == std::string_view::npos ? rest : rest.substr(0, comma);
    if (toLowerAscii(entry) == wanted) ++count;
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return count;
}

std::string listWithAdded(std::string_view list, std::string_view iname) {
  if (list.empty()) return std::string(iname);
  return std::string(list) + "," + std::string(iname);
}

std::string listWithRemoved(std::string_view list, std::string_view iname) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto comma = list.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? list.size() : comma;
    if (list.substr(start, end - start) == iname) {
      std::string out(list);
      if (comma != std::string_view::npos) {
        out.erase(start, end - start + 1);  // the entry and the comma after it
      } else if (start > 0) {
        out.erase(start - 1, end - start + 1);  // the last entry and the comma before it
      } else {
        out.clear();  // the only entry
      }
      return out;
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return std::string(list);
}

bool listHasSkill(std::string_view list, std::string_view skill) {
  if (list == skill) return true;
  const std::string tail = "," + std::string(skill);
  if (list.size() >= tail.size() && list.substr(list.size() - tail.size()) == tail) return true;
  return list.find(std::string(skill) + ",") != std::string_view::npos;
}

int32_t itemcount(const Roster& roster, std::string_view iname, int64_t user) {
  return countInList(at(roster, user).items, iname);
}

void additem(Roster& roster, std::string_view iname, int64_t user) {
  PlayerRecord& r = at(roster, user);
  r.items = listWithAdded(r.items, iname);
}

void removeitem(Roster& roster, std::string_view iname, int64_t user) {
  PlayerRecord& r = at(roster, user);
  r.items = listWithRemoved(r.items, iname);
}

bool checkskill(const Roster& roster, int64_t ploc, std::string_view skill) {
  return listHasSkill(at(roster, ploc).skills, skill);
}

}  // namespace kelva
