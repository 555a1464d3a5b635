// Monster objects: clicking a registered "battle" object opens a battle
// against a fresh copy of the monster it stands for.
#pragma once

#include <cstdint>

#include "data/object_definition.h"
#include "objects/click.h"

namespace kelva::objects {

// Called with the clicker's roster index `p` (the clicker has a character).
void monsterBattle(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);

}  // namespace kelva::objects
