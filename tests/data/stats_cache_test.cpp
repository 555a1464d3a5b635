#include "data/stats_cache.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "data/stats_file.h"

namespace kelva {
namespace {

std::unique_ptr<Roster> rosterOf(int count) {
  auto roster = std::make_unique<Roster>();
  for (int i = 0; i < count; ++i) {
    setStartingValues((*roster)[static_cast<std::size_t>(i)], "P" + std::to_string(i));
    (*roster)[static_cast<std::size_t>(i)].gold = i;
  }
  return roster;
}

// One change to each stored field, in turn, as any code path might make it;
// some change the line's length or add a sign.
using P = PlayerRecord;
void (*const kFieldChanges[])(P&) = {
    [](P& r) { r.name += "x"; },       [](P& r) { r.level += 1; },          [](P& r) { r.race = "Elf"; },
    [](P& r) { r.strength += 1; },     [](P& r) { r.clanStrengthBonus += 1; }, [](P& r) { r.baseStrength += 1; },
    [](P& r) { r.speed -= 11; },       [](P& r) { r.clanSpeedBonus += 1; }, [](P& r) { r.baseSpeed += 1; },
    [](P& r) { r.charisma += 1; },     [](P& r) { r.clanCharismaBonus += 1; }, [](P& r) { r.maxCharisma += 1; },
    [](P& r) { r.baseMaxCharisma += 1; }, [](P& r) { r.hp -= 1; },          [](P& r) { r.maxHp += 1; },
    [](P& r) { r.clanMaxHpBonus += 1; }, [](P& r) { r.baseMaxHp += 1; },    [](P& r) { r.mp += 1; },
    [](P& r) { r.maxMp += 1; },        [](P& r) { r.clanMaxMpBonus += 1; }, [](P& r) { r.baseMaxMp += 1; },
    [](P& r) { r.gold += 1000; },      [](P& r) { r.ac += 1; },             [](P& r) { r.clanAcBonus += 1; },
    [](P& r) { r.baseAc += 1; },       [](P& r) { r.exp += 1; },            [](P& r) { r.weaponId += 1; },
    [](P& r) { r.armorId += 1; },      [](P& r) { r.clan = "Red"; },        [](P& r) { r.items += ",scan"; },
    [](P& r) { r.skills = "fire"; },   [](P& r) { r.shroomType = "evil"; },
};

TEST(StatsFileCache, MatchesTheFormatterThroughEveryFieldChangeGrowthShrinkingAndManyChanges) {
  auto roster = rosterOf(60);
  StatsFileCache cache;
  ASSERT_EQ(cache.format(*roster, 5), formatStatsFile(*roster, 5));
  for (std::size_t f = 0; f < std::size(kFieldChanges); ++f) {
    kFieldChanges[f]((*roster)[f % 5]);
    ASSERT_EQ(cache.format(*roster, 5), formatStatsFile(*roster, 5)) << "field change " << f;
  }
  uint32_t x = 12345;
  auto next = [&x](uint32_t n) {
    x = x * 1103515245u + 12345u;
    return (x >> 8) % n;
  };
  int count = 0;
  for (int step = 0; step < 400; ++step) {
    switch (next(7)) {
      case 0:  // a new character arrives, or a reload leaves fewer lines
        count = static_cast<int>(next(61));
        break;
      case 1: {  // several characters change at once, lengths changing
        for (int k = 0; k < 4; ++k) (*roster)[next(60)].gold = static_cast<int32_t>(next(2000000)) - 1000000;
        break;
      }
      case 2:  // a change that keeps the line's length
        (*roster)[next(60)].hp = static_cast<int32_t>(next(9) + 1);
        break;
      case 3:  // two characters trade places
        std::swap((*roster)[next(60)], (*roster)[next(60)]);
        break;
      case 4:  // a reload: most characters differ at once
        for (int k = 0; k < 40; ++k) (*roster)[next(60)].exp = static_cast<int32_t>(next(100000));
        break;
      default:
        kFieldChanges[next(std::size(kFieldChanges))]((*roster)[next(60)]);
    }
    ASSERT_EQ(cache.format(*roster, count), formatStatsFile(*roster, count)) << "step " << step;
  }
  EXPECT_EQ(cache.format(*roster, 0), "");
  EXPECT_EQ(cache.format(*roster, -1), "");
}

}  // namespace
}  // namespace kelva
