// The armour and weapon file: one line per used catalogue slot,
// "ac,cost,speed,kind,id,strength,name" with the name running to the line end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/catalog.h"
#include "data/result.h"

namespace kelva {

inline constexpr const char* kCatalogFileName = "armor~weapon.txt";
inline constexpr const char* kCatalogBackupFileName = "armor~weapon_BACKUP.txt";

std::string catalogLine(const CatalogEntry& entry);

// Slots 0 to lastCatalogIndex whose name is not empty, each line + CR LF.
std::string formatCatalogFile(const Catalog& catalog, int lastCatalogIndex);

// Reads a whole catalogue file (a file of two bytes or less is empty). Fails,
// naming `fileName` and the line, on a line with fewer than seven values, a
// value that is not a number or out of range, or more than 501 lines.
Result<std::vector<CatalogEntry>> parseCatalogFile(std::string_view bytes, const std::string& fileName);

}  // namespace kelva
