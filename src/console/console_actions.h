// What the operator does on the console: pick a player, press "Change".
#pragma once

#include <string>

namespace kelva {
class Form1;
}

namespace kelva::console {

// The operator selects `name` in Combo1: Text2 and Text3 show its exp and gold.
void selectCombo1(Form1& form, const std::string& name);
// The operator presses Command1 ("Change").
void pressCommand1(Form1& form);

}  // namespace kelva::console
