#include "session/arrival.h"

#include <iostream>

#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::session {

void avatarArrival(Form1& form) {
  const std::string name = form.sdk.AvatarName;
  if (userpos(form.roster, name) != kNoPlayer) {
    form.activityLog->record(name + " arrived");
    return;
  }

  // The stats file keeps a name up to its first "," and a line up to its
  // line break: such a name could not be saved and read back as itself.
  if (name.find_first_of(",\r\n") != std::string::npos) {
    std::cerr << "kelvabot: no character for the avatar \"" << name
              << "\": its name holds a comma or a line break\n";
    return;
  }
  if (form.playerCount >= kRosterSize) {
    std::cerr << "kelvabot: no character for the avatar \"" << name << "\": the roster is full (" << kRosterSize
              << " characters)\n";
    return;
  }

  ++form.playerCount;
  // Only the starting values are set: the clan bonuses, the lists, the shroom
  // type and the PvP flag of a reused slot stay as they were.
  setStartingValues(form.roster[static_cast<std::size_t>(form.playerCount - 1)], name);
  form.console.addCombo1(name);
  savestats(form);
  form.activityLog->record(name + " arrived and got a new character");
}

}  // namespace kelva::session
