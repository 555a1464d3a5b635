// The armour and weapon catalogue: what shops sell and /equipment shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelva {

struct CatalogEntry {
  std::string name;  // "" marks an empty slot
  int32_t ac = 0;
  int32_t speed = 0;
  int32_t cost = 0;
  int16_t kind = 0;  // 0 weapon, 1 armour
  int32_t id = 0;
  int32_t strength = 0;

  bool operator==(const CatalogEntry&) const = default;
};

inline constexpr int kCatalogSize = 501;
inline constexpr int16_t kWeaponKind = 0;
inline constexpr int16_t kArmorKind = 1;

using Catalog = std::array<CatalogEntry, kCatalogSize>;

}  // namespace kelva
