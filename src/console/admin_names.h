// The administrator boxes kept in the data folder: the seven names the
// operator typed into `Text1` are written to administrators.txt, one line per
// box, and put back into the boxes when the bot starts, so that a restart
// does not leave the game without its administrators.
#pragma once

#include <cstddef>
#include <string>

#include "data/result.h"

namespace kelva {
class Form1;
}

namespace kelva::console {

inline constexpr const char* kAdminNamesFileName = "administrators.txt";
inline constexpr std::size_t kAdminBoxes = 7;

// Fills the boxes from the file. No file leaves them empty. A file that
// cannot be read or has more than seven lines is an error: the boxes stay
// empty and are never saved over that file (the operator fixes or removes it).
Status loadAdminNames(Form1& form);

// The operator types `name` into box `index` (0 to 6): the box takes it and
// the file is replaced with all seven boxes. A name that holds a line break
// cannot be kept on one line and is refused, the box untouched. When the file
// cannot be written, or was not read at start, the box still takes the name
// (the game tests the boxes, not the file) and the Status says it is not kept.
Status setAdminName(Form1& form, std::size_t index, const std::string& name);

}  // namespace kelva::console
