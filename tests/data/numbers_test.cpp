#include "data/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "data/checked.h"

namespace kelva {
namespace {

TEST(Numbers, LenientReadsTheLeadingNumberAndRoundsHalvesToEven) {
  EXPECT_EQ(lenientLong("7.5"), 8);
  EXPECT_EQ(lenientLong("6.5"), 6);
  EXPECT_EQ(lenientLong("-2.5"), -2);
  EXPECT_EQ(lenientLong("2.5000001"), 3);
  EXPECT_EQ(lenientLong("  \t12abc"), 12);
  EXPECT_EQ(lenientLong(".5"), 0);
  EXPECT_EQ(lenientLong(""), 0);
  EXPECT_EQ(lenientLong("1e5"), 1);  // no exponent
  EXPECT_EQ(lenientLong("0x10"), 0);  // no hexadecimal
}

// The kind of runtime error `f` raises, or nothing when it raises none.
template <typename F>
std::optional<GameErrorKind> errorOf(F f) {
  try {
    f();
  } catch (const GameError& e) {
    return e.kind();
  }
  return std::nullopt;
}

TEST(Numbers, StrictNeedsTheWholeTextToBeANumberThatFitsItsWidth) {
  EXPECT_EQ(strictLong(" 42 "), 42);
  EXPECT_EQ(strictLong("+3"), 3);
  EXPECT_EQ(strictLong("5."), 5);
  EXPECT_EQ(strictInteger("-0.5"), 0);
  EXPECT_EQ(strictLong("2147483647"), 2147483647);
  EXPECT_EQ(strictLong("-2147483648"), INT32_MIN);
  EXPECT_EQ(strictLong("2147483647.4"), 2147483647);
  for (const char* text : {"12x", "", "1 2", ".", "word"}) {
    EXPECT_EQ(errorOf([&] { strictLong(text); }), GameErrorKind::kTypeMismatch) << '"' << text << '"';
  }
  EXPECT_EQ(errorOf([] { strictLong("2147483647.5"); }), GameErrorKind::kOverflow);
  EXPECT_EQ(errorOf([] { lenientInteger("32768"); }), GameErrorKind::kOverflow);
  EXPECT_EQ(lenientInteger("-32768"), -32768);
  EXPECT_EQ(errorOf([] { lenientLong("99999999999999999999999"); }), GameErrorKind::kOverflow);
  EXPECT_EQ(tryStrictLong("x"), std::nullopt);
  EXPECT_EQ(tryStrictInteger("40000"), std::nullopt);
}

TEST(Numbers, CheckedArithmeticRefusesToWrap) {
  EXPECT_EQ(addLong(2147483646, 1), 2147483647);
  EXPECT_THROW(addLong(2147483647, 1), GameError);
  EXPECT_THROW(subLong(INT32_MIN, 1), GameError);
  EXPECT_THROW(mulLong(50000, 50000), GameError);
  EXPECT_EQ(roundToLong(27.5), 28);
  EXPECT_EQ(roundToLong(16.5), 16);
  EXPECT_EQ(roundToLong(-2.5), -2);
  EXPECT_THROW(roundToLong(2147483648.0), GameError);
}

TEST(Numbers, ShortestDecimalNeverUsesAnExponent) {
  EXPECT_EQ(shortestDecimal(50), "50");
  EXPECT_EQ(shortestDecimal(-287.5), "-287.5");
  EXPECT_EQ(shortestDecimal(0.1), "0.1");
  EXPECT_EQ(shortestDecimal(1e21), "1000000000000000000000");
  EXPECT_EQ(shortestDecimal(1.25e-7), "0.000000125");
}

TEST(Numbers, CaseChangesTouchAsciiLettersOnly) {
  EXPECT_EQ(toUpperAscii("/stats \xe9"), "/STATS \xe9");
  EXPECT_EQ(toLowerAscii("HpPotion"), "hppotion");
}

}  // namespace
}  // namespace kelva
