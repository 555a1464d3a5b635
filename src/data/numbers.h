// Reading and writing the game's numbers as text.
//
// A number in text is: optional blanks (spaces and tabs), an optional sign,
// then digits with an optional fraction ("12", "-3", "7.5", "5.") or a
// fraction alone (".5"); no exponent, no hexadecimal. Fractions round to the
// nearest whole number with halves going to the even neighbour, decided
// exactly from the digits. Two conversions exist, as the game uses them:
// - lenient: the longest leading number of the text, 0 when there is none;
// - strict: the whole text, apart from surrounding blanks, must be a number,
//   otherwise GameError(kTypeMismatch).
// Both raise GameError(kOverflow) when the rounded value does not fit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelva {

// A number as it was written: sign, whole digits and fraction digits.
struct NumberText {
  bool negative = false;
  std::string whole;     // digits before the point, may be empty
  std::string fraction;  // digits after the point, may be empty
};

// The number at the start of `text` after leading blanks, with the count of
// characters it took (blanks included); nullopt when the text does not begin
// with a number.
std::optional<NumberText> readLeadingNumber(std::string_view text, std::size_t* consumed = nullptr);

// The whole value rounded half to even; nullopt when it is beyond +-2^62.
std::optional<int64_t> roundHalfEven(const NumberText& number);

// The value as the nearest double.
double toDouble(const NumberText& number);

int32_t lenientLong(std::string_view text);
int16_t lenientInteger(std::string_view text);
int32_t strictLong(std::string_view text);
int16_t strictInteger(std::string_view text);

// Like strictLong, but nullopt instead of throwing; for parsers that report
// their own errors.
std::optional<int32_t> tryStrictLong(std::string_view text);
std::optional<int16_t> tryStrictInteger(std::string_view text);
std::optional<int32_t> tryLenientLong(std::string_view text);
std::optional<int16_t> tryLenientInteger(std::string_view text);

// Plain decimal text of a number: "-" for negatives, nothing else.
inline std::string num(int64_t v) { return std::to_string(v); }

// The shortest decimal text that reads back as the same double, never with an
// exponent: 50, -287.5, 1.5, 0.1.
std::string shortestDecimal(double v);

// ASCII-only case changes (other bytes stay as they are).
std::string toUpperAscii(std::string_view text);
std::string toLowerAscii(std::string_view text);

}  // namespace kelva
