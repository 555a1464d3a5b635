#include "world/core/name_characters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "world/core/world_file.h"

namespace kelva::world {
namespace {

TEST(NameCharacters, TheInvisibleRangesEndWhereTheyShould) {
  // Each pair: the last visible character before a range, its first, its
  // last, and the first visible one after it.
  const std::vector<std::vector<char32_t>> edges = {
      {0x7E, 0x7F, 0xA0, 0xA1},          // DEL, C1, no-break space; then the inverted exclamation mark
      {0x1FFF, 0x2000, 0x200F, 0x2010},  // typographic spaces to RLM; then the hyphen
      {0x2027, 0x2028, 0x202F, 0x2030},  // separators, embeddings, narrow no-break space
      {0x205E, 0x205F, 0x206F, 0x2070},  // medium space to the nominal digit shapes
      {0xFEFE, 0xFEFF, 0xFEFF, 0xFF00},  // the byte-order mark alone
      {0xDFFFF, 0xE0000, 0xE0FFF, 0xE1000},
  };
  for (const auto& e : edges)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(invisibleInName(e[i]), i == 1 || i == 2) << std::hex << unsigned(e[i]);
  EXPECT_FALSE(invisibleInName(U' '));
  EXPECT_FALSE(invisibleInName(0x10FFFF));
}

TEST(NameCharacters, NamesThatWouldLookLikeAnotherAreRefused) {
  using Names = std::vector<std::string>;
  for (const std::string& bad : Names{
           "Ann\xe2\x80\x8b",         // zero-width space
           "Ann\xc2\xa0Lee",          // no-break space
           "\xef\xbb\xbf" "Ann",      // byte-order mark
           "An\xc2\xadn",             // soft hyphen
           "Ann\xe3\x80\x80",         // ideographic space at the end
           "Ann\xf3\xa0\x80\x81",     // a tag character, four bytes
       }) {
    const std::string problem = nameProblem(bad);
    EXPECT_NE(problem.find("invisible"), std::string::npos) << bad << ": " << problem;
  }
  EXPECT_NE(nameProblem("Ann\xe2\x80\x8b").find("U+200B"), std::string::npos);
  for (const std::string& good : Names{"Ann Lee", "Zo\xc3\xab", "\xc2\xa1Hola", "Jean\xe2\x80\x90Luc", "\xe6\x9d\x8e"})
    EXPECT_EQ(nameProblem(good), "") << good;
}

}  // namespace
}  // namespace kelva::world
