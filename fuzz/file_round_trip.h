// The data files' loaders on any bytes, one check for all three: a file
// loads whole or the refusal names the file; what loads, put in the game's
// table and saved, loads again as exactly the entries the save keeps.
#pragma once

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "fuzz/fuzz_input.h"

namespace kelva::fuzz {

// `parse(bytes, fileName)` loads, `format(table, count)` saves the table's
// first `count` slots, and `kept(entry)` says whether a save writes an entry.
template <typename Table, typename Parse, typename Format, typename Kept>
void checkSavedFileLoadsAgain(std::string_view bytes, const std::string& fileName, Parse parse, Format format,
                              Kept kept) {
  auto parsed = parse(bytes, fileName);
  if (!parsed.isOk()) {
    if (parsed.status().message().rfind(fileName, 0) != 0) broken("the error does not name the file");
    return;
  }
  const auto& entries = parsed.value();
  static auto table = std::make_unique<Table>();  // too big for the stack
  if (entries.size() > table->size()) broken("more entries than the table holds");
  std::copy(entries.begin(), entries.end(), table->begin());
  const std::string saved = format(*table, static_cast<int>(entries.size()));

  auto again = parse(saved, fileName);
  if (!again.isOk()) broken("a saved file does not load");
  std::remove_cvref_t<decltype(entries)> expected;
  std::copy_if(entries.begin(), entries.end(), std::back_inserter(expected), kept);
  if (again.value() != expected) broken("a saved file loads as other entries");
}

}  // namespace kelva::fuzz
