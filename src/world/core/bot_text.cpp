#include "world/core/bot_text.h"

namespace kelva::world {

std::string playerVisibleBotText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += ' ';
      continue;
    }
    // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F in UTF-8.
    if (c == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        out += ' ';
        ++i;
        continue;
      }
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace kelva::world
