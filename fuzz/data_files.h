// The fuzz targets' checks on the game's data files: what a loader makes of
// any bytes, and whether what the game saved loads again whole.
#pragma once

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "data/catalog_file.h"
#include "data/objects_file.h"
#include "data/stats_file.h"
#include "fuzz/fuzz_input.h"

namespace kelva::fuzz {

// A file loads whole or the refusal names the file; what loads, put in the
// game's table and saved, loads again as exactly the entries the save keeps.
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

// Every stats, catalogue and objects file among `files` (path to bytes)
// loads whole: no input may make the game save a file it cannot read back.
template <typename Files>
void checkSavedFilesLoad(const Files& files) {
  for (const auto& [path, bytes] : files) {
    bool whole = true;
    if (path.ends_with("/stats.txt")) whole = parseStatsFile(bytes, path).isOk();
    if (path.ends_with("/armor~weapon.txt")) whole = parseCatalogFile(bytes, path).isOk();
    if (path.ends_with("/objects.txt")) whole = parseObjectsFile(bytes, path).isOk();
    if (!whole) broken(("a saved file does not load: " + path).c_str());
  }
}

}  // namespace kelva::fuzz
