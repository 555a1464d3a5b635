#include "world/ports/password_echo.h"

namespace kelva::world {

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSubBegin = 250;
constexpr unsigned char kSubEnd = 240;
constexpr unsigned char kEcho = 1;

std::string command(unsigned char verb, unsigned char option) {
  return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

}  // namespace

std::string PasswordEcho::hide() {
  asked_ = true;
  return command(kWill, kEcho);
}

std::string PasswordEcho::read(std::string_view line) {
  std::string text;
  text.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c != kIac) {
      text += line[i];
      continue;
    }
    if (i + 1 >= line.size()) break;  // a command cut off by the line's end
    const auto verb = static_cast<unsigned char>(line[i + 1]);
    if (verb == kIac) {  // a doubled IAC is the byte 255 itself
      text += line[++i];
      continue;
    }
    telnet_ = true;
    if (verb >= kWill && verb <= kDont) {
      if (i + 2 < line.size() && static_cast<unsigned char>(line[i + 2]) == kEcho) {
        if (verb == kDo) agreed_ = asked_;
        if (verb == kDont) agreed_ = false;
      }
      i += 2;
    } else if (verb == kSubBegin) {
      // A sub-negotiation runs to IAC SE; the world asked for none, so it
      // is dropped whole.
      std::size_t end = i + 2;
      while (end + 1 < line.size() &&
             !(static_cast<unsigned char>(line[end]) == kIac && static_cast<unsigned char>(line[end + 1]) == kSubEnd))
        ++end;
      i = end + 1;
    } else {
      ++i;  // a two-byte command (NOP, GA, AYT, ...)
    }
  }
  return text;
}

std::string PasswordEcho::show() {
  const bool giveBack = asked_ && agreed_;
  asked_ = false;
  agreed_ = false;
  return giveBack ? command(kWont, kEcho) : std::string();
}

}  // namespace kelva::world
