// Characters no name may hold because they show nothing, or nothing but a
// blank: two avatars whose names differ only in them would look the same.
// They are the control characters (Unicode category Cc), the format
// characters (Cf: zero-width spaces and joiners, the bidirectional marks,
// embeddings and isolates, the byte-order mark, soft hyphen), every space but
// the plain one (Zs: the no-break and the typographic spaces), the line and
// paragraph separators (Zl, Zp), and the other characters Unicode asks to be
// drawn as nothing (variation selectors, the Hangul fillers, the combining
// grapheme joiner).
#pragma once

#include <string>
#include <string_view>

namespace kelva::world {

// Whether `c` is one of those characters.
bool invisibleInName(char32_t c);

// Empty when the UTF-8 `name` holds none of them; otherwise what the player
// is told, naming the first one found (as U+XXXX).
std::string invisibleCharacterProblem(std::string_view name);

}  // namespace kelva::world
