#include "persist/timer2.h"

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "data/checked.h"
#include "persist/persistence.h"
#include "persist/shroom_change.h"
#include "state/form1.h"

namespace kelva::persist {

namespace {

constexpr int16_t kRegrowEvery = 300;  // five minutes of one-second ticks
constexpr int16_t kBackupEvery = 600;  // ten minutes

// A picked shroom is an invisible shroom object, left so by the click.
constexpr std::string_view kPickedAction = "create solid no,visible no";

bool contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

// The model a shroom grows into, or "" when it is full grown and visible.
// An "e" in the model marks the evil kind, a "1" a small shroom.
std::string grownModel(const ShroomEntry& e) {
  const bool evil = contains(e.model, 'e');
  if (e.action == kPickedAction) return evil ? "shroom1e.rwx" : "shroom1.rwx";
  if (contains(e.model, '1')) return evil ? "shroome.rwx" : "shroom.rwx";
  return "";
}

// Picked shrooms come back small, small ones grow full. The cache is left
// alone: it follows the world's delete and add events for each change.
void regrowShrooms(Form1& form) {
  for (int i = 0; i <= form.lastShroomIndex; ++i) {
    const ShroomEntry e = at(form.shroomCache, i);
    const std::string model = grownModel(e);
    if (model.empty()) continue;
    // Visible again, with the grown model.
    changeShroomObject(form.sdk, e, model, "");
  }
}

// Runs one of the two slow jobs. A job that fails is reported and the count
// starts again all the same, so that the next regrowth and the backups still
// come on time.
template <typename Job>
void runJob(const char* what, Job&& job) {
  try {
    job();
  } catch (const std::exception& e) {
    std::cerr << "kelvabot: " << what << " failed: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "kelvabot: " << what << " failed\n";
  }
}

}  // namespace

void timer2Tick(Form1& form) {
  form.regrowTicks = toInteger(form.regrowTicks + 1);
  if (form.regrowTicks == kRegrowEvery) {
    runJob("shroom regrowth", [&] { regrowShrooms(form); });
    form.regrowTicks = 0;
  }
  form.backupTicks = toInteger(form.backupTicks + 1);
  if (form.backupTicks == kBackupEvery) {
    // Each backup file is replaced whole; a failed write is reported on
    // stderr by the save and leaves the old backup as it was.
    runJob("backup", [&] { writeBackups(form); });
    form.backupTicks = 0;
  }
}

}  // namespace kelva::persist
