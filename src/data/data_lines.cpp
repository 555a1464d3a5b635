#include "data/data_lines.h"

namespace kelva {

std::vector<std::string_view> readDataLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  do {
    std::size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end;
    if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n' && (pos == end || bytes[pos - 1] == '\r')) ++pos;
  } while (pos < bytes.size());
  return lines;
}

bool cutField(std::string_view& rest, char separator, std::string_view& field) {
  const auto at = rest.find(separator);
  if (at == std::string_view::npos) return false;
  field = rest.substr(0, at);
  rest = rest.substr(at + 1);
  return true;
}

}  // namespace kelva
