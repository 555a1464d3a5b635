// Magic shrooms: a click on a cached shroom that is not a registered object
// gives the clicker magic points, when the shroom is of the clicker's clan
// kind, and hides the shroom in the world until it grows back.
#pragma once

#include <cstdint>
#include <string_view>

#include "objects/click.h"

namespace kelva::objects {

// A shroom's kind and size are read from its model name: an "e" anywhere
// makes it evil, a "1" anywhere makes it small.
bool isEvilShroom(std::string_view model);
int32_t shroomMagicPoints(std::string_view model);

// The action that makes a picked shroom invisible and passable.
inline constexpr const char* kPickedShroomAction = "create solid no,visible no";

// The click on an object that no definition claims. Does nothing when the
// object is not in the shroom cache.
void shroomClick(Form1& form, const ObjectClick& click);

}  // namespace kelva::objects
