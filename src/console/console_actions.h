// What the operator does on the console: pick a player, press "Change".
#pragma once

#include <string>

namespace kelva {
class ConsoleModel;
class Form1;
}

namespace kelva::console {

// The text Combo1 shows before the operator has picked anyone.
inline constexpr const char* kCombo1Placeholder = "Select Name";

// Whether the operator has picked a name (or typed one) in Combo1.
bool namePicked(const ConsoleModel& console);
// The number an editor box starts with, as "Change" reads it: a box that does
// not start with a number counts as 0.
double leadingValue(const std::string& text);
// Whether a box's value fits a long once rounded half to even; "Change"
// refuses the whole gift otherwise.
bool fitsLongWhenRounded(double v);

// The operator selects `name` in Combo1: Text2 and Text3 show its exp and gold.
void selectCombo1(Form1& form, const std::string& name);
// The operator presses Command1 ("Change").
void pressCommand1(Form1& form);

}  // namespace kelva::console
