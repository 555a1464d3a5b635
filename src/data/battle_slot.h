// One slot of the battle table: a fight against a monster ("battle") or
// between two players ("pvp"). A slot is free when `name1` is empty; freeing
// clears only the two names, so the other fields keep stale values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelva {

struct BattleSlot {
  std::string name1;     // the player (monster battle) or the defender (pvp)
  std::string name2;     // the attacker (pvp)
  std::string session1;  // session numbers kept as decimal text
  std::string session2;
  int32_t ehp = 0;  // the monster's remaining hit points
  int32_t edex = 0;
  int32_t estr = 0;
  std::string ename;
  int32_t egp = 0;
  int32_t eexp = 0;
  int16_t ploc1 = 0;  // roster indices, fixed when the battle opens
  int16_t ploc2 = 0;
  int16_t turn = 0;  // monster battle: 0 the player strikes next, 1 the monster
  std::string kind;  // "battle" or "pvp"

  bool operator==(const BattleSlot&) const = default;
};

inline constexpr int kBattleSlots = 20;
using BattleTable = std::array<BattleSlot, kBattleSlots>;

}  // namespace kelva
