// Clan halls and skill teachers. A clan hall lets a clanless player join the
// clan it stands for, with the clan's bonuses and shroom type; a skill
// teacher sells its skill to members of its clan. Both are called with the
// clicker's roster index `p` (the clicker has a character).
#pragma once

#include <cstdint>

#include "data/object_definition.h"
#include "objects/click.h"

namespace kelva::objects {

void clanHall(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void skillTeacher(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);

}  // namespace kelva::objects
