// Loading and saving the three data files of Form1, and their backups.
//
// A loader reads and checks its whole file before any of it is used: a file
// that cannot be loaded whole changes nothing. A missing file is reported as
// such. Saves replace their file atomically; a failed save is reported on
// stderr, leaves the old file whole, and the next save tries again.
#pragma once

#include "data/result.h"

namespace kelva {

class Form1;

enum class LoadOutcome { kLoaded, kMissing, kFailed };

struct LoadResult {
  LoadOutcome outcome;
  Status status;  // the reason, for kMissing and kFailed
};

// Reads stats.txt into roster slots 0 onwards (pvpEnabled kept, slots beyond
// the file untouched), sets playerCount and adds every name to Combo1.
LoadResult initstats(Form1& form);
// Writes roster slots 0 to playerCount - 1 to stats.txt.
void savestats(Form1& form);

// Reads armor~weapon.txt into the catalogue and sets lastCatalogIndex.
LoadResult loadarwe(Form1& form);
void savearwe(Form1& form);

// Reads objects.txt into the object definitions and sets lastObjectIndex.
LoadResult loadobjects(Form1& form);
void saveobjects(Form1& form);

// Writes the three backup files, each exactly as its save writes its file.
void writeBackups(Form1& form);

}  // namespace kelva
