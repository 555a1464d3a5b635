// Catalogue administration: ARMORID, WEAPONID, ARWEADD, OBJADD.
#pragma once

#include "chat/chat_line.h"

namespace kelva {
class Form1;
}

namespace kelva::chat {

void cmdArmorId(Form1& form, const ChatLine& chat);
void cmdWeaponId(Form1& form, const ChatLine& chat);
void cmdArweadd(Form1& form, const ChatLine& chat);
void cmdObjadd(Form1& form, const ChatLine& chat);

}  // namespace kelva::chat
