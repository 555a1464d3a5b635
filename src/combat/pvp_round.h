// One round of a player-versus-player battle: the attacker strikes, the world
// is pumped once, then the defender strikes back.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::combat {

void SPvP(Form1& form, int i);

}  // namespace kelva::combat
