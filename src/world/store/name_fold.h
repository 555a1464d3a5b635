// Names that look alike to a reader: the world refuses to register a name
// that a player could mistake for one already registered ("Mira", "mira",
// "MIRA", "Mіra" with a Cyrillic і, "M1ra"). The fold lowers the case of
// ASCII letters, maps the letters of other scripts that are drawn like Latin
// ones, and the full-width forms, to those Latin letters, and maps the
// digits and letters that pass for each other (0 and o, 1, i and l, 5 and s)
// to one of them. Two names look alike when their folds are equal.
#pragma once

#include <string>
#include <string_view>

namespace kelva::world {

// `name` (UTF-8) folded; bytes that are no valid UTF-8 are kept as they are.
std::string lookAlikeFold(std::string_view name);

}  // namespace kelva::world
