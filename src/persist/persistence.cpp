#include "persist/persistence.h"

#include <iostream>

#include "data/catalog_file.h"
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

void save(Form1& form, const char* fileName, const std::string& bytes) {
  const std::string path = dataPath(form.dataDir, fileName);
  const Status s = form.files.replaceFile(path, bytes);
  if (s.isOk()) return;
  std::cerr << "kelvabot: saving " << path << " failed: " << s.message() << "\n";
  form.activityLog->record("saving " + path + " failed: " + s.message());
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
  save(form, kStatsFileName, form.statsCache.format(form.roster, form.playerCount));
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
  save(form, kCatalogFileName, formatCatalogFile(form.catalog, form.lastCatalogIndex));
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
  save(form, kObjectsFileName, formatObjectsFile(form.objectDefinitions, form.lastObjectIndex));
}

void writeBackups(Form1& form) {
  save(form, kStatsBackupFileName, form.statsCache.format(form.roster, form.playerCount));
  save(form, kCatalogBackupFileName, formatCatalogFile(form.catalog, form.lastCatalogIndex));
  save(form, kObjectsBackupFileName, formatObjectsFile(form.objectDefinitions, form.lastObjectIndex));
}

}  // namespace kelva
