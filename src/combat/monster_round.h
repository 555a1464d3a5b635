// One exchange of a monster battle: the player's or the monster's strike.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::combat {

void Sbattle(Form1& form, int i);

}  // namespace kelva::combat
