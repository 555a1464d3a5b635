// Helpers shared by the three data file formats: line splitting as the
// loaders read lines, and field cutting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelva {

// The lines of a data file as the loaders read them: each line ends at CR LF,
// a lone CR or a lone LF; reading goes on until the end of the bytes and
// takes at least one line, so "A\r\n" is one line and "A\r\nB" two.
std::vector<std::string_view> readDataLines(std::string_view bytes);

// Cuts the text before the first `separator` off the front of `rest`; false
// (and `rest` untouched) when there is no separator.
bool cutField(std::string_view& rest, char separator, std::string_view& field);

}  // namespace kelva
