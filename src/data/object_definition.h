// Object definitions: world objects that the operator turned into game places
// (monsters, shops, clan halls, skill teachers), keyed by world object number.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelva {

struct ObjectDefinition {
  std::string name;
  int32_t stat1 = 0;
  int32_t stat2 = 0;
  int32_t stat3 = 0;
  int32_t stat4 = 0;
  int32_t stat5 = 0;
  std::string role;
  int32_t param = 0;
  int32_t objectNumber = 0;  // 0 marks an empty slot
  std::string tag;
  int16_t acBonus = 0;

  bool operator==(const ObjectDefinition&) const = default;
};

inline constexpr int kObjectDefinitionsSize = 5001;

using ObjectDefinitions = std::array<ObjectDefinition, kObjectDefinitionsSize>;

// The name of an item or a skill ends up in players' item and skill lists,
// which the stats file closes with "!": such a name holding "!" would make
// the stats file unreadable, so a definition with one is malformed.
inline bool nameBreaksPlayerLists(std::string_view role, std::string_view name) {
  return (role == "item" || role == "skill") && name.find('!') != std::string_view::npos;
}

}  // namespace kelva
