#include "data/prometheus_text.h"

#include <charconv>
#include <cmath>

namespace kelva {

namespace {

// Help text escapes backslashes and line breaks; a label value quotes too.
void escaped(std::string& out, std::string_view text, bool quotes) {
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || (quotes && c == '"')) out += '\\';
    out += c;
  }
}

}  // namespace

std::string PrometheusText::number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

void PrometheusText::family(std::string_view name, std::string_view type, std::string_view help) {
  text_ += "# HELP ";
  text_ += name;
  text_ += ' ';
  escaped(text_, help, false);
  text_ += "\n# TYPE ";
  text_ += name;
  text_ += ' ';
  text_ += type;
  text_ += '\n';
}

void PrometheusText::line(std::string_view name, std::string_view label, std::string_view labelValue,
                          const std::string& value) {
  text_ += name;
  if (!label.empty()) {
    text_ += '{';
    text_ += label;
    text_ += "=\"";
    escaped(text_, labelValue, true);
    text_ += "\"}";
  }
  text_ += ' ';
  text_ += value;
  text_ += '\n';
}

}  // namespace kelva
