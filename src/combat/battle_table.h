// The battle table's operations, the battle tick and the avatar click that
// opens a player-versus-player fight.
#pragma once

#include <cstdint>
#include <string>

namespace kelva {
class Form1;
}

namespace kelva::combat {

// Opens a monster battle for `nname` (roster index `ploc`, `session`).
void addbattle(Form1& form, int32_t eedex, int32_t eehp, const std::string& eename, int32_t eestr,
               int32_t egexp, int32_t eggp, const std::string& nname, int16_t ploc, int32_t session);
// Opens a fight in which `name2` (session2) attacks `name1` (session1).
void addpvp(Form1& form, const std::string& name1, const std::string& name2, int32_t session1, int32_t session2);
// Index of the first slot with `nname` as name1 or name2, or -1.
int16_t battleing(const Form1& form, const std::string& nname);
// Frees slot `i` (clears name1 and name2 only).
void removebattle(Form1& form, int i);

// Timer1: one round for each occupied slot, in slot order.
void battleTick(Form1& form);

// The avatar-click event: AvatarName clicked ClickedName.
void avatarClick(Form1& form);

}  // namespace kelva::combat
