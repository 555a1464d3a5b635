// The twelve skill commands: /STEAL, the ten damage skills, /HEALING PLANTS.
#pragma once

#include "chat/chat_line.h"

namespace kelva {
class Form1;
}

namespace kelva::chat {

void cmdSteal(Form1& form, const ChatLine& chat);
void cmdHealingPlants(Form1& form, const ChatLine& chat);
// One of the ten damage skills, chosen by the upper-cased line.
void cmdDamageSkill(Form1& form, const ChatLine& chat);

}  // namespace kelva::chat
