#include "persist/persistence.h"

#include <exception>
#include <iostream>
#include <utility>

#include "data/catalog_file.h"
#include "data/checked.h"
#include "data/objects_file.h"
#include "data/stats_file.h"
#include "state/form1.h"

namespace kelva {

namespace {

// Reads a data file and parses it whole with `parse`; nothing is applied here.
template <typename Parse>
auto readAndParse(Form1& form, const char* fileName, Parse parse, LoadResult& result)
    -> decltype(parse(std::string_view(), std::string())) {
  const std::string path = dataPath(form.dataDir, fileName);
  // Reading the file while newer bytes for it could not be written would
  // replace the game's latest changes with older ones.
  if (const Status unsaved = commitSaves(form); !unsaved.isOk()) {
    const Status refused = Status::error("not read, changes wait to be saved: " + unsaved.message());
    result = {LoadOutcome::kFailed, refused};
    return refused;
  }
  auto read = form.files.readFile(path);
  if (!read.isOk()) {
    result = {LoadOutcome::kFailed, read.status()};
    return read.status();
  }
  if (!read.value().has_value()) {
    const Status missing = Status::error(path + " does not exist");
    result = {LoadOutcome::kMissing, missing};
    return missing;
  }
  auto parsed = parse(*read.value(), path);
  result = parsed.isOk() ? LoadResult{LoadOutcome::kLoaded, Status::ok()}
                         : LoadResult{LoadOutcome::kFailed, parsed.status()};
  return parsed;
}

Status write(Form1& form, const char* fileName, const std::string& bytes) {
  const std::string path = dataPath(form.dataDir, fileName);
  const Status s = form.files.replaceFile(path, bytes);
  if (s.isOk()) return s;
  return Status::error("saving " + path + " failed: " + s.message());
}

void save(Form1& form, const char* fileName, const std::string& bytes) {
  const Status s = write(form, fileName, bytes);
  if (s.isOk()) return;
  std::cerr << "kelvabot: " << s.message() << "\n";
  form.activityLog->record(s.message());
}

}  // namespace

LoadResult initstats(Form1& form) {
  LoadResult result{LoadOutcome::kLoaded, Status::ok()};
  auto parsed = readAndParse(form, kStatsFileName, parseStatsFile, result);
  if (!parsed.isOk()) return result;
  const auto& records = parsed.value();
  form.playerCount = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    assignStoredFields(form.roster[i], records[i]);
    form.console.addCombo1(form.roster[i].name);
    ++form.playerCount;
  }
  return result;
}

void savestats(Form1& form) {
  PendingSaves& pending = form.pendingSaves;
  if (pending.openRounds == 0) {
    save(form, kStatsFileName, form.statsCache.format(form.roster, form.playerCount));
    return;
  }
  if (pending.levelupSlot >= 0) {
    pending.levelupRecord = at(form.roster, pending.levelupSlot);
    pending.levelupSaveAsked = true;
    return;
  }
  form.statsCache.format(form.roster, form.playerCount);
  pending.stats = true;
}

LoadResult loadarwe(Form1& form) {
  LoadResult result{LoadOutcome::kLoaded, Status::ok()};
  auto parsed = readAndParse(form, kCatalogFileName, parseCatalogFile, result);
  if (!parsed.isOk()) return result;
  const auto& entries = parsed.value();
  for (std::size_t i = 0; i < entries.size(); ++i) form.catalog[i] = entries[i];
  form.lastCatalogIndex = static_cast<int16_t>(static_cast<int>(entries.size()) - 1);
  return result;
}

void savearwe(Form1& form) {
  std::string bytes = formatCatalogFile(form.catalog, form.lastCatalogIndex);
  if (form.pendingSaves.openRounds == 0) {
    save(form, kCatalogFileName, bytes);
  } else {
    form.pendingSaves.catalog = std::move(bytes);
  }
}

LoadResult loadobjects(Form1& form) {
  LoadResult result{LoadOutcome::kLoaded, Status::ok()};
  auto parsed = readAndParse(form, kObjectsFileName, parseObjectsFile, result);
  if (!parsed.isOk()) return result;
  const auto& definitions = parsed.value();
  for (std::size_t i = 0; i < definitions.size(); ++i) form.objectDefinitions[i] = definitions[i];
  form.lastObjectIndex = static_cast<int16_t>(static_cast<int>(definitions.size()) - 1);
  return result;
}

void saveobjects(Form1& form) {
  std::string bytes = formatObjectsFile(form.objectDefinitions, form.lastObjectIndex);
  if (form.pendingSaves.openRounds == 0) {
    save(form, kObjectsFileName, bytes);
  } else {
    form.pendingSaves.objects = std::move(bytes);
  }
}

Status commitSaves(Form1& form) {
  PendingSaves& pending = form.pendingSaves;
  // Each is forgotten only once it is on disk: a file that failed keeps its
  // bytes pending (or newer ones, when a later save asks again) for the
  // next try, and the other files are still written.
  Status first = Status::ok();
  auto keep = [&](const Status& s) {
    if (first.isOk()) first = s;
  };
  if (pending.stats) {
    const Status s = write(form, kStatsFileName, form.statsCache.lastFormatted());
    if (s.isOk()) pending.stats = false;
    else keep(s);
  }
  if (pending.catalog) {
    const Status s = write(form, kCatalogFileName, *pending.catalog);
    if (s.isOk()) pending.catalog.reset();
    else keep(s);
  }
  if (pending.objects) {
    const Status s = write(form, kObjectsFileName, *pending.objects);
    if (s.isOk()) pending.objects.reset();
    else keep(s);
  }
  return first;
}

LevelupSaves::LevelupSaves(Form1& form, const std::string& name) : form_(form) {
  PendingSaves& pending = form_.pendingSaves;
  if (pending.openRounds == 0 || pending.levelupSlot >= 0) return;
  const int16_t slot = userpos(form_.roster, name);
  if (slot == kNoPlayer) return;
  pending.levelupSlot = slot;
  pending.levelupSaveAsked = false;
  active_ = true;
}

LevelupSaves::~LevelupSaves() {
  if (!active_) return;
  PendingSaves& pending = form_.pendingSaves;
  const int slot = pending.levelupSlot;
  pending.levelupSlot = -1;
  if (!pending.levelupSaveAsked) return;
  pending.levelupSaveAsked = false;
  // The bytes of the last save of the run: the record as it was then, and
  // every other record as it is now (none changed since). The record is
  // put back at once; a level-up that failed after that save keeps its
  // changes in memory, as it does without a round.
  PlayerRecord& record = form_.roster[static_cast<std::size_t>(slot)];
  std::swap(record, pending.levelupRecord);
  try {
    form_.statsCache.format(form_.roster, form_.playerCount);
    pending.stats = true;
  } catch (const std::exception& e) {
    std::cerr << "kelvabot: saving the level-ups failed: " << e.what() << "\n";
  }
  std::swap(record, pending.levelupRecord);
}

void writeBackups(Form1& form) {
  // Pending saves that fail here stay pending; the round's end tries them
  // again and tells the operator.
  (void)commitSaves(form);
  save(form, kStatsBackupFileName, form.statsCache.format(form.roster, form.playerCount));
  save(form, kCatalogBackupFileName, formatCatalogFile(form.catalog, form.lastCatalogIndex));
  save(form, kObjectsBackupFileName, formatObjectsFile(form.objectDefinitions, form.lastObjectIndex));
}

}  // namespace kelva
