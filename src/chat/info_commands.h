// Character information commands: /stats, /equipment, /skills, /amount,
// /use scan, /commands, /admin commands, /object number.
#pragma once

#include "chat/chat_line.h"

namespace kelva {
class Form1;
}

namespace kelva::chat {

void cmdEquipment(Form1& form, const ChatLine& chat);
void cmdStats(Form1& form, const ChatLine& chat);
void cmdObjectNumber(Form1& form, const ChatLine& chat);
void cmdAdminCommands(Form1& form, const ChatLine& chat);
void cmdSkills(Form1& form, const ChatLine& chat);
void cmdCommands(Form1& form, const ChatLine& chat);
void cmdUseScan(Form1& form, const ChatLine& chat);
void cmdAmount(Form1& form, const ChatLine& chat);

}  // namespace kelva::chat
