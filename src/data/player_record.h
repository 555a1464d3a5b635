// The player character and the roster that holds every character.
//
// A PlayerRecord is one avatar's character. The roster is a fixed table of
// 5001 records; `playerCount` of them, from slot 0, are in use. Characters are
// found by exact avatar name with `userpos`, which looks at slots 0 to 100
// only. The inventory `items` and the skill list `skills` are comma-joined
// names, worked on by `itemcount`, `additem`, `removeitem` and `checkskill`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelva {

struct PlayerRecord {
  std::string name;
  int32_t level = 0;
  std::string race;
  int32_t strength = 0;
  int16_t clanStrengthBonus = 0;
  int32_t baseStrength = 0;
  int32_t speed = 0;
  int16_t clanSpeedBonus = 0;
  int32_t baseSpeed = 0;
  int32_t charisma = 0;
  int16_t clanCharismaBonus = 0;
  int32_t maxCharisma = 0;
  int32_t baseMaxCharisma = 0;
  int32_t hp = 0;
  int32_t maxHp = 0;
  int16_t clanMaxHpBonus = 0;
  int32_t baseMaxHp = 0;
  int32_t mp = 0;
  int32_t maxMp = 0;
  int16_t clanMaxMpBonus = 0;
  int32_t baseMaxMp = 0;
  int32_t gold = 0;
  int32_t ac = 0;
  int16_t clanAcBonus = 0;
  int32_t baseAc = 0;
  int32_t exp = 0;
  int16_t weaponId = 0;
  int16_t armorId = 0;
  std::string clan;
  std::string items;
  std::string skills;
  bool pvpEnabled = false;
  std::string shroomType;

  bool operator==(const PlayerRecord&) const = default;
};

inline constexpr int kRosterSize = 5001;
// What `userpos` returns when no character has the name.
inline constexpr int16_t kNoPlayer = 5001;
// `userpos` looks at slots 0 to kUserposLastSlot only.
inline constexpr int kUserposLastSlot = 100;

using Roster = std::array<PlayerRecord, kRosterSize>;

// The starting values of a new (or reborn) character, name included.
void setStartingValues(PlayerRecord& record, const std::string& name);

// Roster index of the character called exactly `name` among slots 0 to 100,
// or kNoPlayer.
int16_t userpos(const Roster& roster, std::string_view name);

// The list operations take a roster index; an index outside the roster
// (kNoPlayer in particular) raises GameError and changes nothing.
int32_t itemcount(const Roster& roster, std::string_view iname, int64_t user);
void additem(Roster& roster, std::string_view iname, int64_t user);
void removeitem(Roster& roster, std::string_view iname, int64_t user);
bool checkskill(const Roster& roster, int64_t ploc, std::string_view skill);

// The same rules on a bare list text, for callers and tests.
int32_t countInList(std::string_view list, std::string_view iname);
std::string listWithAdded(std::string_view list, std::string_view iname);
std::string listWithRemoved(std::string_view list, std::string_view iname);
bool listHasSkill(std::string_view list, std::string_view skill);

}  // namespace kelva
