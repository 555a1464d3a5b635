// The shop roles of registered objects: the healer, the potion and item
// sellers, the armour and weapon shops and the buyers of used armour and
// weapons. Each is called with the clicker's roster index `p` (the clicker
// has a character) and the definition that was clicked; each answers the
// clicker and saves the stats file after every purchase or sale.
#pragma once

#include <cstdint>

#include "data/object_definition.h"
#include "objects/click.h"

namespace kelva::objects {

void shopHeal(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopHpPotion(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopItem(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopArmor(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopWeapon(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopSellArmor(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);
void shopSellWeapon(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p);

}  // namespace kelva::objects
