// Form1: the bot's one state object.
//
// Form1 owns every table of the game (the roster, the catalogue, the object
// definitions, the battle table, the object-number watchers, the shroom cache
// and its cell sequence numbers, the timer counters) and the console's
// controls, and holds the platform pieces the procedures reach the world,
// the disk and the operator through. It is state only: the procedures of the
// layers above act on it, and the program's event router hands them the
// world's events and the timer ticks.
//
// Form1 is large (the shroom cache alone has 100000 slots): create it with
// std::make_unique.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/activity_log.h"
#include "data/battle_slot.h"
#include "data/catalog.h"
#include "data/file_system.h"
#include "data/object_definition.h"
#include "data/player_record.h"
#include "data/random.h"
#include "data/shroom_entry.h"
#include "data/stats_cache.h"
#include "state/console_model.h"
#include "state/pending_saves.h"
#include "state/world_sdk.h"

namespace kelva {

class Form1 {
 public:
  // All collaborators must outlive the form. `dataDir` is the folder of the
  // three data files, the backups and the sound.
  Form1(WorldSdk& sdk, FileSystem& files, ConsoleView& view, Sound& sound, std::string dataDir);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The platform pieces.
  WorldSdk& sdk;
  FileSystem& files;
  Sound& MM1;
  const std::string dataDir;
  // Where the game's events are recorded for the operator; nowhere unless
  // the program sets a log (it must outlive the form).
  ActivityLog* activityLog = &noActivityLog();

  // Player data.
  Roster roster{};
  int16_t playerCount = 0;
  // The stats file as last formatted, so that a save formats only the
  // characters that changed since.
  StatsFileCache statsCache;
  // What the round under way has asked to save.
  PendingSaves pendingSaves;
  Catalog catalog{};
  int16_t lastCatalogIndex = -1;
  ObjectDefinitions objectDefinitions{};
  int16_t lastObjectIndex = -1;

  // Combat.
  BattleTable battles{};
  Rng rng;

  // Administrators in object-number mode.
  std::array<std::string, 20> objectNumberWatchers{};

  // The world around the bot.
  std::array<ShroomEntry, kShroomCacheSize> shroomCache{};
  int16_t lastShroomIndex = -1;
  bool shroomCacheFullReported = false;
  CellSequenceTable cellSequence{};
  int32_t homeSectorX = 0;
  int32_t homeSectorZ = 0;

  // Timers. Timer1 and Timer2 run from the window's creation; timawwait from
  // the login on.
  bool timawwaitEnabled = false;
  int16_t regrowTicks = 0;
  int16_t backupTicks = 0;

  // The operator console.
  ConsoleModel console;
};

}  // namespace kelva
