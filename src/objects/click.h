// One click on a world object, as the object-click handler hands it to the
// role that answers it, and what every role shares: the answer to the
// clicker and the all-or-nothing change of the clicker's character.
#pragma once

#include <cstdint>
#include <string>

#include "data/player_record.h"

namespace kelva {
class Form1;
}

namespace kelva::objects {

// Read once from the event when the click arrives: AvatarName, AvatarSession
// and ObjectNumber.
struct ObjectClick {
  std::string clicker;
  int32_t session = 0;
  int32_t objectNumber = 0;
};

// Whispers `text` to the clicker.
void answer(Form1& form, const ObjectClick& click, const std::string& text);

// The answer to a clicker who has no character, for every role.
inline constexpr const char* kNoCharacter = "You do not have a charecter.";

// Runs `change` on a character. If it fails half-way (a 32-bit overflow in
// the operator's prices or bonuses), the character is put back exactly as it
// was before the failure travels on, so a failed purchase costs nothing.
template <typename Change>
void changeWhole(PlayerRecord& record, Change&& change) {
  const PlayerRecord before = record;
  try {
    change();
  } catch (...) {
    record = before;
    throw;
  }
}

}  // namespace kelva::objects
