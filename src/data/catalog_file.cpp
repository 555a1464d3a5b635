#include "data/catalog_file.h"

#include "data/checked.h"
#include "data/data_lines.h"
#include "data/numbers.h"

namespace kelva {

std::string catalogLine(const CatalogEntry& e) {
  return std::to_string(e.ac) + "," + std::to_string(e.cost) + "," + std::to_string(e.speed) + "," +
         std::to_string(e.kind) + "," + std::to_string(e.id) + "," + std::to_string(e.strength) + "," + e.name;
}

std::string formatCatalogFile(const Catalog& catalog, int lastCatalogIndex) {
  std::string out;
  for (int i = 0; i <= lastCatalogIndex && i < kCatalogSize; ++i) {
    const CatalogEntry& e = catalog[static_cast<std::size_t>(i)];
    if (e.name.empty()) continue;
    out += catalogLine(e);
    out += "\r\n";
  }
  return out;
}

Result<std::vector<CatalogEntry>> parseCatalogFile(std::string_view bytes, const std::string& fileName) {
  std::vector<CatalogEntry> entries;
  if (bytes.size() <= 2) return entries;
  const auto lines = readDataLines(bytes);
  if (lines.size() > static_cast<std::size_t>(kCatalogSize)) {
    return Status::error(fileName + ": " + std::to_string(lines.size()) + " lines, but the catalogue holds " +
                         std::to_string(kCatalogSize) + " entries");
  }
  static const char* const kNames[] = {"ac", "cost", "speed", "kind", "id", "strength"};
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string where = fileName + " line " + std::to_string(li + 1) + ": ";
    std::string_view rest = lines[li];
    std::string_view values[6];
    for (int k = 0; k < 6; ++k) {
      if (!cutField(rest, ',', values[k])) {
        return Status::error(where + "fewer than 7 values (no \",\" after " + kNames[k] + ")");
      }
    }
    CatalogEntry e;
    int k = 0;
    try {
      e.ac = strictLong(values[k]);
      ++k;
      e.cost = strictLong(values[k]);
      ++k;
      e.speed = strictLong(values[k]);
      ++k;
      e.kind = strictInteger(values[k]);
      ++k;
      e.id = strictLong(values[k]);
      ++k;
      e.strength = strictLong(values[k]);
    } catch (const GameError& err) {
      return Status::error(where + kNames[k] + " \"" + std::string(values[k]) + "\": " +
                           (err.kind() == GameErrorKind::kOverflow ? "out of range" : "not a number"));
    }
    e.name = std::string(rest);
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace kelva
