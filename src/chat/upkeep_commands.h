// Character upkeep commands: RELOAD, /aheal, /drink hppotion, /pvp, /home,
// /run, /reset, /abandon clan.
#pragma once

#include "chat/chat_line.h"

namespace kelva {
class Form1;
}

namespace kelva::chat {

void cmdReload(Form1& form, const ChatLine& chat);
void cmdAheal(Form1& form, const ChatLine& chat);
void cmdDrinkHppotion(Form1& form, const ChatLine& chat);
void cmdPvp(Form1& form, const ChatLine& chat);
void cmdHome(Form1& form, const ChatLine& chat);
void cmdRun(Form1& form, const ChatLine& chat);
void cmdReset(Form1& form, const ChatLine& chat);
void cmdAbandonClan(Form1& form, const ChatLine& chat);

}  // namespace kelva::chat
