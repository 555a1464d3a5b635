// Magic shrooms: a click on a cached shroom that is not a registered object
// gives the clicker magic points, when the shroom is of the clicker's clan
// kind, and hides the shroom in the world until it grows back.
#pragma once

#include "objects/click.h"

namespace kelva::objects {

// The click on an object that no definition claims. Does nothing when the
// object is not in the shroom cache.
void shroomClick(Form1& form, const ObjectClick& click);

}  // namespace kelva::objects
