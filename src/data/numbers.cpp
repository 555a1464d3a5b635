#include "data/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/checked.h"

namespace kelva {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void throwMismatch(std::string_view text) {
  throw GameError(GameErrorKind::kTypeMismatch, "not a number: \"" + std::string(text) + "\"");
}

}  // namespace

std::optional<NumberText> readLeadingNumber(std::string_view text, std::size_t* consumed) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  NumberText n;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    n.negative = text[i] == '-';
    ++i;
  }
  const std::size_t wholeStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  n.whole = std::string(text.substr(wholeStart, i - wholeStart));
  if (i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    while (j < text.size() && isDigit(text[j])) ++j;
    const std::size_t fractionDigits = j - (i + 1);
    // A lone "." is no number; "5." and ".5" are.
    if (!n.whole.empty() || fractionDigits > 0) {
      n.fraction = std::string(text.substr(i + 1, fractionDigits));
      i = j;
    }
  }
  if (n.whole.empty() && n.fraction.empty()) return std::nullopt;
  if (consumed) *consumed = i;
  return n;
}

std::optional<int64_t> roundHalfEven(const NumberText& number) {
  // Leading zeros do not count towards the size limit.
  std::size_t first = 0;
  while (first < number.whole.size() && number.whole[first] == '0') ++first;
  const std::string_view digits = std::string_view(number.whole).substr(first);
  if (digits.size() > 18) return std::nullopt;
  int64_t magnitude = 0;
  for (char c : digits) magnitude = magnitude * 10 + (c - '0');

  // Compare the fraction with one half, exactly from its digits.
  int halfCompare = 0;  // -1 below a half, 0 exactly a half, 1 above
  if (number.fraction.empty()) {
    halfCompare = -1;
  } else if (number.fraction[0] > '5') {
    halfCompare = 1;
  } else if (number.fraction[0] < '5') {
    halfCompare = -1;
  } else {
    halfCompare = 0;
    for (std::size_t k = 1; k < number.fraction.size(); ++k) {
      if (number.fraction[k] != '0') {
        halfCompare = 1;
        break;
      }
    }
  }
  const bool anyFraction = number.fraction.find_first_not_of('0') != std::string::npos;
  if (anyFraction) {
    if (halfCompare > 0 || (halfCompare == 0 && magnitude % 2 == 1)) ++magnitude;
  }
  if (magnitude > (int64_t{1} << 62)) return std::nullopt;
  return number.negative ? -magnitude : magnitude;
}

double toDouble(const NumberText& number) {
  std::string text = number.negative ? "-" : "";
  text += number.whole.empty() ? "0" : number.whole;
  if (!number.fraction.empty()) text += "." + number.fraction;
  return std::strtod(text.c_str(), nullptr);
}

namespace {

int64_t roundedOrOverflow(const NumberText& n) {
  const auto v = roundHalfEven(n);
  if (!v) throwOverflow("number too large");
  return *v;
}

std::optional<NumberText> wholeTextNumber(std::string_view text) {
  std::size_t consumed = 0;
  auto n = readLeadingNumber(text, &consumed);
  if (!n) return std::nullopt;
  for (std::size_t i = consumed; i < text.size(); ++i) {
    if (!isBlank(text[i])) return std::nullopt;
  }
  return n;
}

}  // namespace

int32_t lenientLong(std::string_view text) {
  const auto n = readLeadingNumber(text);
  if (!n) return 0;
  return toLong(roundedOrOverflow(*n));
}

int16_t lenientInteger(std::string_view text) {
  const auto n = readLeadingNumber(text);
  if (!n) return 0;
  return toInteger(roundedOrOverflow(*n));
}

int32_t strictLong(std::string_view text) {
  const auto n = wholeTextNumber(text);
  if (!n) throwMismatch(text);
  return toLong(roundedOrOverflow(*n));
}

int16_t strictInteger(std::string_view text) {
  const auto n = wholeTextNumber(text);
  if (!n) throwMismatch(text);
  return toInteger(roundedOrOverflow(*n));
}

namespace {

template <typename T, typename F>
std::optional<T> noThrow(F f) {
  try {
    return f();
  } catch (const GameError&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<int32_t> tryStrictLong(std::string_view text) {
  return noThrow<int32_t>([&] { return strictLong(text); });
}
std::optional<int16_t> tryStrictInteger(std::string_view text) {
  return noThrow<int16_t>([&] { return strictInteger(text); });
}
std::optional<int32_t> tryLenientLong(std::string_view text) {
  return noThrow<int32_t>([&] { return lenientLong(text); });
}
std::optional<int16_t> tryLenientInteger(std::string_view text) {
  return noThrow<int16_t>([&] { return lenientInteger(text); });
}

int32_t roundToLong(double v) {
  if (std::isnan(v)) throwOverflow("not a number");
  const double r = std::nearbyint(v);  // default rounding mode: halves to even
  if (r < static_cast<double>(INT32_MIN) || r > static_cast<double>(INT32_MAX)) {
    throwOverflow("value does not fit a long");
  }
  return static_cast<int32_t>(r);
}

std::string shortestDecimal(double v) {
  if (v == 0) return "0";
  char buffer[64];
  // Shortest round-trip digits in scientific form, then laid out plainly.
  const auto res = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific);
  std::string sci(buffer, res.ptr);
  bool negative = false;
  if (sci[0] == '-') {
    negative = true;
    sci.erase(0, 1);
  }
  const auto ePos = sci.find('e');
  std::string mantissa = sci.substr(0, ePos);
  const int exponent = std::atoi(sci.c_str() + ePos + 1);
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }
  // value = 0.digits * 10^(exponent + 1)
  const int pointPos = exponent + 1;
  std::string out;
  if (pointPos <= 0) {
    out = "0." + std::string(static_cast<std::size_t>(-pointPos), '0') + digits;
  } else if (static_cast<std::size_t>(pointPos) >= digits.size()) {
    out = digits + std::string(static_cast<std::size_t>(pointPos) - digits.size(), '0');
  } else {
    out = digits.substr(0, static_cast<std::size_t>(pointPos)) + "." +
          digits.substr(static_cast<std::size_t>(pointPos));
  }
  return negative ? "-" + out : out;
}

std::string toUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string toLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace kelva
