// The object definitions file: one line per slot with a non-zero object
// number, "param,stat2,stat5,stat4,stat1,name,role,stat3,objectNumber,tag,acBonus".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/object_definition.h"
#include "data/result.h"

namespace kelva {

inline constexpr const char* kObjectsFileName = "objects.txt";
inline constexpr const char* kObjectsBackupFileName = "objects_BACKUP.txt";

std::string objectLine(const ObjectDefinition& definition);

// Slots 0 to lastObjectIndex whose objectNumber is not 0, each line + CR LF.
std::string formatObjectsFile(const ObjectDefinitions& definitions, int lastObjectIndex);

// Reads a whole objects file (a file of two bytes or less is empty). Fails,
// naming `fileName` and the line, on a line with fewer than eleven values, a
// number field that is not a number or out of range, or more than 5001 lines.
Result<std::vector<ObjectDefinition>> parseObjectsFile(std::string_view bytes, const std::string& fileName);

}  // namespace kelva
