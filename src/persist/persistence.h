// Loading and saving the three data files of Form1, and their backups.
//
// A loader reads and checks its whole file before any of it is used: a file
// that cannot be loaded whole changes nothing. A missing file is reported as
// such. Saves replace their file atomically; a failed save is reported on
// stderr, leaves the old file whole, and the next save tries again.
//
// Inside a round of event handling (Form1's pendingSaves) a save records its
// file's bytes and commitSaves writes them at the round's end: each changed
// file once, however many saves the round asked for. A loader first writes
// what is pending, so that it reads what the game last saved; when that
// write fails the loader refuses (kFailed) rather than read older bytes.
#pragma once

#include <string>

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

// Writes the three backup files, each exactly as its save writes its file,
// after what is pending.
void writeBackups(Form1& form);

// Writes every file a save was asked for since the last commit, with the
// bytes of its last save, and forgets each one that is on disk. A file whose
// write failed stays pending for the next commit; the Status names the first
// failure and is not reported here (the caller tells the operator once, not
// at every retry).
[[nodiscard]] Status commitSaves(Form1& form);

// The saves of the level-ups of one reward, made one. While it lives, and
// only inside a round, a savestats records a copy of the record of the
// character called `name` instead of formatting the whole file; its end
// makes the bytes of the last such save. Between its start and its end
// nothing may change any other record: it is meant for the level-up loop
// alone, where a reward of two billion experience asks for thousands of
// saves. It also ends correctly when a level-up fails part-way.
class LevelupSaves {
 public:
  LevelupSaves(Form1& form, const std::string& name);
  ~LevelupSaves();
  LevelupSaves(const LevelupSaves&) = delete;
  LevelupSaves& operator=(const LevelupSaves&) = delete;

 private:
  Form1& form_;
  bool active_ = false;
};

}  // namespace kelva
