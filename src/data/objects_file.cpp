#include "data/objects_file.h"

#include "data/checked.h"
#include "data/data_lines.h"
#include "data/numbers.h"

namespace kelva {

std::string objectLine(const ObjectDefinition& d) {
  return std::to_string(d.param) + "," + std::to_string(d.stat2) + "," + std::to_string(d.stat5) + "," +
         std::to_string(d.stat4) + "," + std::to_string(d.stat1) + "," + d.name + "," + d.role + "," +
         std::to_string(d.stat3) + "," + std::to_string(d.objectNumber) + "," + d.tag + "," +
         std::to_string(d.acBonus);
}

std::string formatObjectsFile(const ObjectDefinitions& definitions, int lastObjectIndex) {
  std::string out;
  for (int i = 0; i <= lastObjectIndex && i < kObjectDefinitionsSize; ++i) {
    const ObjectDefinition& d = definitions[static_cast<std::size_t>(i)];
    if (d.objectNumber == 0) continue;
    out += objectLine(d);
    out += "\r\n";
  }
  return out;
}

Result<std::vector<ObjectDefinition>> parseObjectsFile(std::string_view bytes, const std::string& fileName) {
  std::vector<ObjectDefinition> definitions;
  if (bytes.size() <= 2) return definitions;
  const auto lines = readDataLines(bytes);
  if (lines.size() > static_cast<std::size_t>(kObjectDefinitionsSize)) {
    return Status::error(fileName + ": " + std::to_string(lines.size()) + " lines, but the table holds " +
                         std::to_string(kObjectDefinitionsSize) + " definitions");
  }
  static const char* const kNames[] = {"param", "stat2",        "stat5", "stat4", "stat1",  "name",
                                       "role",  "stat3", "objectNumber", "tag",   "acBonus"};
  for (std::size_t li = 0; li < lines.size(); ++li) {
    const std::string where = fileName + " line " + std::to_string(li + 1) + ": ";
    std::string_view rest = lines[li];
    std::string_view v[11];
    for (int k = 0; k < 10; ++k) {
      if (!cutField(rest, ',', v[k])) {
        return Status::error(where + "fewer than 11 values (no \",\" after " + kNames[k] + ")");
      }
    }
    v[10] = rest;
    ObjectDefinition d;
    int k = 0;
    try {
      d.param = strictLong(v[k = 0]);
      d.stat2 = strictLong(v[k = 1]);
      d.stat5 = strictLong(v[k = 2]);
      d.stat4 = strictLong(v[k = 3]);
      d.stat1 = strictLong(v[k = 4]);
      d.name = std::string(v[5]);
      d.role = std::string(v[6]);
      d.stat3 = strictLong(v[k = 7]);
      d.objectNumber = strictLong(v[k = 8]);
      d.tag = std::string(v[9]);
      d.acBonus = strictInteger(v[k = 10]);
    } catch (const GameError& err) {
      return Status::error(where + kNames[k] + " \"" + std::string(v[k]) + "\": " +
                           (err.kind() == GameErrorKind::kOverflow ? "out of range" : "not a number"));
    }
    if (nameBreaksPlayerLists(d.role, d.name)) {
      return Status::error(where + "name \"" + d.name + "\": an item or skill name must not hold \"!\"");
    }
    definitions.push_back(std::move(d));
  }
  return definitions;
}

}  // namespace kelva
