#include "session/object_cache.h"

#include <iostream>

#include "state/form1.h"

namespace kelva::session {

namespace {

// Whether the event's cell lies in the nine sectors around the bot; if so,
// the cell's sequence number is kept for the next query.
bool homeTest(Form1& form) {
  WorldSdk& sdk = form.sdk;
  const int64_t dx = static_cast<int64_t>(sdk.SectorFromCell(sdk.CellX)) - form.homeSectorX;
  const int64_t dz = static_cast<int64_t>(sdk.SectorFromCell(sdk.CellZ)) - form.homeSectorZ;
  if (dx < -1 || dx > 1 || dz < -1 || dz > 1) return false;
  form.cellSequence[static_cast<std::size_t>(dz + 1)][static_cast<std::size_t>(dx + 1)] = sdk.CellSequence;
  return true;
}

// Magic shrooms are the objects whose model begins with "shroom", in this
// letter case.
bool isShroom(const std::string& model) { return model.starts_with("shroom"); }

// Appends the event's object to the cache. `lastShroomIndex` is a 16-bit
// number, so the cache holds at most 32768 shrooms; further ones are left
// out (the bot goes on without them) and the operator is told once.
void addEntry(Form1& form) {
  if (form.lastShroomIndex >= kShroomCacheUsable - 1) {
    if (!form.shroomCacheFullReported) {
      std::cerr << "kelvabot: the shroom cache is full (" << kShroomCacheUsable
                << " shrooms); further shrooms are not tracked\n";
      form.shroomCacheFullReported = true;
    }
    return;
  }
  const WorldSdk& sdk = form.sdk;
  ++form.lastShroomIndex;
  ShroomEntry& e = form.shroomCache[static_cast<std::size_t>(form.lastShroomIndex)];
  e.model = sdk.ObjectModel;
  e.action = sdk.ObjectAction;
  e.description = sdk.ObjectDescription;
  e.number = sdk.ObjectNumber;
  e.owner = sdk.ObjectOwner;
  e.x = sdk.ObjectX;
  e.y = sdk.ObjectY;
  e.z = sdk.ObjectZ;
  e.yaw = sdk.ObjectYaw;
}

}  // namespace

void queryComplete(Form1& form) {
  if (!form.sdk.QueryComplete) {
    // The world answers in parts: ask again, passing back the sequence
    // numbers learnt so far.
    form.sdk.Query(form.homeSectorX, form.homeSectorZ, form.cellSequence);
    return;
  }
  form.sdk.Say("Complete");
}

void cellBegin(Form1& form) { homeTest(form); }

// The query only reports cells around the bot, so no home test here.
void cellObject(Form1& form) {
  if (isShroom(form.sdk.ObjectModel)) addEntry(form);
}

void objectAdd(Form1& form) {
  if (!homeTest(form)) return;
  if (isShroom(form.sdk.ObjectModel)) addEntry(form);
}

void objectDelete(Form1& form) {
  if (!homeTest(form)) return;
  if (!isShroom(form.sdk.ObjectModel)) return;
  const int last = form.lastShroomIndex;
  for (int i = 0; i <= last; ++i) {
    if (form.shroomCache[static_cast<std::size_t>(i)].number != form.sdk.ObjectNumber) continue;
    // Later entries move down one slot, keeping their order.
    for (int j = i; j < last; ++j) {
      form.shroomCache[static_cast<std::size_t>(j)] = std::move(form.shroomCache[static_cast<std::size_t>(j + 1)]);
    }
    form.shroomCache[static_cast<std::size_t>(last)] = ShroomEntry{};
    --form.lastShroomIndex;
    return;
  }
}

}  // namespace kelva::session
