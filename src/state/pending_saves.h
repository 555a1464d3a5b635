// The saves asked for during the round of event handling under way, not yet
// written.
//
// Outside a round every save writes its file at once. Inside one (opened by
// the event router around a pump of the world, a timer tick or a console
// action) a save only records the bytes its file must hold from now on; the
// round's end writes each changed file once. Recording the bytes at the
// moment of the save, not at the round's end, keeps the files exactly as
// saving at once would leave them: a change that no save followed (a blow in
// a battle, a command that failed part-way) reaches the disk only with the
// next save, as it always has.
#pragma once

#include <optional>
#include <string>

#include "data/player_record.h"

namespace kelva {

struct PendingSaves {
  // Rounds open, nested rounds included; saves wait while it is above 0.
  int openRounds = 0;
  // The stats file's cache holds the bytes of the last save asked for.
  bool stats = false;
  std::optional<std::string> catalog;
  std::optional<std::string> objects;

  // A run of level-ups of one character (one reward) saves as one: only
  // that character's record changes between its saves, so a copy of it at
  // the last save is all that is needed to make that save's bytes at the
  // run's end. -1 when no run is under way.
  int levelupSlot = -1;
  bool levelupSaveAsked = false;
  PlayerRecord levelupRecord;

  bool any() const { return stats || catalog || objects; }
};

}  // namespace kelva
