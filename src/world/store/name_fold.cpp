#include "world/store/name_fold.h"

#include <cstdint>
#include <utility>

namespace kelva::world {

namespace {

// Letters of the Cyrillic and Greek alphabets drawn like a Latin letter,
// capitals and small, with that letter (already folded).
constexpr std::pair<char32_t, char> kLookAlikes[] = {
    // Cyrillic
    {0x0410, 'a'}, {0x0430, 'a'}, {0x0412, 'b'}, {0x0432, 'b'}, {0x0415, 'e'}, {0x0435, 'e'}, {0x0401, 'e'},
    {0x0451, 'e'}, {0x041A, 'k'}, {0x043A, 'k'}, {0x041C, 'm'}, {0x043C, 'm'}, {0x041D, 'h'}, {0x043D, 'h'},
    {0x041E, 'o'}, {0x043E, 'o'}, {0x0420, 'p'}, {0x0440, 'p'}, {0x0421, 'c'}, {0x0441, 'c'}, {0x0422, 't'},
    {0x0442, 't'}, {0x0425, 'x'}, {0x0445, 'x'}, {0x0423, 'y'}, {0x0443, 'y'}, {0x0406, 'l'}, {0x0456, 'l'},
    {0x0408, 'j'}, {0x0458, 'j'}, {0x0405, 's'}, {0x0455, 's'}, {0x0501, 'd'}, {0x051B, 'q'}, {0x051D, 'w'},
    // Greek
    {0x0391, 'a'}, {0x03B1, 'a'}, {0x0392, 'b'}, {0x0395, 'e'}, {0x0396, 'z'}, {0x0397, 'h'}, {0x0399, 'l'},
    {0x03B9, 'l'}, {0x039A, 'k'}, {0x03BA, 'k'}, {0x039C, 'm'}, {0x039D, 'n'}, {0x039F, 'o'}, {0x03BF, 'o'},
    {0x03A1, 'p'}, {0x03C1, 'p'}, {0x03A4, 't'}, {0x03C4, 't'}, {0x03A5, 'y'}, {0x03C5, 'u'}, {0x03A7, 'x'},
    {0x03C7, 'x'}, {0x03BD, 'v'},
};

// After the case is lowered: the ASCII characters that pass for another.
char foldAscii(char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  switch (c) {
    case '0':
      return 'o';
    case '1':
    case 'i':
    case '|':
      return 'l';
    case '5':
      return 's';
    default:
      return c;
  }
}

// Decodes one UTF-8 character at `i`; 0 when the bytes there are no valid
// character (the byte is then kept as it is).
std::size_t decode(std::string_view s, std::size_t i, char32_t& out) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  char32_t c = b0 & (0x3F >> (len - 1));
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  out = c;
  return len;
}

}  // namespace

std::string lookAlikeFold(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b < 0x80) {
      folded += foldAscii(name[i]);
      ++i;
      continue;
    }
    char32_t c = 0;
    const std::size_t len = decode(name, i, c);
    if (len == 0) {
      folded += name[i];
      ++i;
      continue;
    }
    char latin = 0;
    // The full-width forms of the ASCII characters.
    if (c >= 0xFF01 && c <= 0xFF5E) latin = static_cast<char>(c - 0xFF01 + 0x21);
    for (const auto& [letter, like] : kLookAlikes)
      if (letter == c) latin = like;
    if (latin != 0)
      folded += foldAscii(latin);
    else
      folded.append(name.substr(i, len));
    i += len;
  }
  return folded;
}

}  // namespace kelva::world
