// What the console tells the operator about an action that does not do what
// they may expect: a name with no character, "Change" with nothing picked, a
// box that does not hold a number, a value that went stale since it was
// picked. The notices only describe; the actions themselves are untouched
// (console_actions.h). The headless terminal prints them, the web page shows
// them beside the picker.
#pragma once

#include <optional>
#include <string>

namespace kelva {
class Form1;
}

namespace kelva::console {

// Before `name` is selected: a notice when no character has that name.
std::optional<std::string> selectNotice(const Form1& form, const std::string& name);
// After the operator typed `text` into the box `box` ("Text2", "Text3"): a
// notice when "Change" would read it as 0 because it does not start with a number.
std::optional<std::string> boxNotice(const std::string& box, const std::string& text);
// Before "Change" is pressed: what it will not do as the operator may expect
// (nothing picked, no such character, a value out of range, values that
// changed since they were picked), in one line; none when it acts as shown.
std::optional<std::string> changeNotice(const Form1& form);

}  // namespace kelva::console
