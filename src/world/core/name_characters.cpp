#include "world/core/name_characters.h"

#include <cstdio>

namespace kelva::world {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Sorted, not overlapping.
constexpr Range kInvisible[] = {
    {0x0000, 0x001F},    // Cc: C0 controls
    {0x007F, 0x00A0},    // Cc: DEL and the C1 controls; Zs: no-break space
    {0x00AD, 0x00AD},    // Cf: soft hyphen
    {0x034F, 0x034F},    // combining grapheme joiner
    {0x061C, 0x061C},    // Cf: Arabic letter mark
    {0x115F, 0x1160},    // Hangul choseong and jungseong fillers
    {0x1680, 0x1680},    // Zs: ogham space mark
    {0x17B4, 0x17B5},    // Khmer inherent vowels, drawn as nothing
    {0x180B, 0x180F},    // Mongolian variation selectors and vowel separator
    {0x2000, 0x200F},    // Zs: typographic spaces; Cf: zero-width space, joiners, LRM, RLM
    {0x2028, 0x202F},    // Zl, Zp; Cf: bidirectional embeddings; Zs: narrow no-break space
    {0x205F, 0x206F},    // Zs: medium space; Cf: word joiner, invisible operators, isolates
    {0x3000, 0x3000},    // Zs: ideographic space
    {0x3164, 0x3164},    // Hangul filler
    {0xFE00, 0xFE0F},    // variation selectors
    {0xFEFF, 0xFEFF},    // Cf: zero-width no-break space (byte-order mark)
    {0xFFA0, 0xFFA0},    // halfwidth Hangul filler
    {0xFFF0, 0xFFFB},    // unassigned specials; Cf: interlinear annotation marks
    {0x110BD, 0x110BD},  // Cf: Kaithi number sign
    {0x1BCA0, 0x1BCA3},  // Cf: shorthand format controls
    {0x1D173, 0x1D17A},  // Cf: musical formatting
    {0xE0000, 0xE0FFF},  // Cf: tags; variation selectors supplement
};

// The next code point of valid UTF-8 at `i`, which it moves past.
char32_t next(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  char32_t c = more == 3 ? lead & 0x07 : more == 2 ? lead & 0x0F : more == 1 ? lead & 0x1F : lead;
  for (; more > 0 && i < s.size(); --more) c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  return c;
}

}  // namespace

bool invisibleInName(char32_t c) {
  for (const Range& r : kInvisible) {
    if (c < r.first) return false;
    if (c <= r.last) return true;
  }
  return false;
}

std::string invisibleCharacterProblem(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    const char32_t c = next(name, i);
    if (!invisibleInName(c)) continue;
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return std::string("a name cannot hold an invisible or direction-changing character (") + code + ")";
  }
  return "";
}

}  // namespace kelva::world
