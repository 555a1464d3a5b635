// The battle table: opening, finding and freeing fights, the half-second
// battle tick, and the avatar click through which one player attacks another.
//
// Every operation walks the twenty slots from 0 upwards. The "already
// battling" test and the search for a free slot share one pass, so a player
// whose fight sits behind the first free slot is not refused.
#include "combat/battle_table.h"

#include <exception>
#include <iostream>

#include "combat/monster_round.h"
#include "combat/pvp_round.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "state/form1.h"

namespace kelva::combat {

void addbattle(Form1& form, int32_t eedex, int32_t eehp, const std::string& eename, int32_t eestr,
               int32_t egexp, int32_t eggp, const std::string& nname, int16_t ploc, int32_t session) {
  for (BattleSlot& slot : form.battles) {
    if (slot.name1 == nname) {
      form.sdk.Whisper(session, "You are already battling.");
      return;
    }
    if (slot.name1.empty()) {
      slot.ehp = eehp;
      slot.edex = eedex;
      slot.estr = eestr;
      slot.ename = eename;
      slot.eexp = egexp;
      slot.egp = eggp;
      slot.name1 = nname;
      slot.ploc1 = ploc;
      slot.session1 = num(session);
      // The player always strikes first, whoever ended the slot's last fight.
      slot.turn = 0;
      slot.kind = "battle";
      form.sdk.Whisper(session, "You are battling " + eename + ", " + num(eehp) + " HP.");
      form.activityLog->record(nname + " started a battle with the " + eename);
      return;
    }
  }
  // Every slot is taken by someone else: the click goes unanswered.
}

void addpvp(Form1& form, const std::string& name1, const std::string& name2, int32_t session1,
            int32_t session2) {
  for (BattleSlot& slot : form.battles) {
    if (slot.name1 == name2) {
      form.sdk.Whisper(session2, "You are already battling.");
      return;
    }
    if (slot.name1 == name1) {
      form.sdk.Whisper(session2, "That person is already battling.");
      return;
    }
    if (slot.name1.empty()) {
      // Only the player fields are written; a monster fight's stale fields
      // and turn stay as they were.
      slot.name1 = name1;
      slot.name2 = name2;
      slot.ploc2 = userpos(form.roster, name2);
      slot.ploc1 = userpos(form.roster, name1);
      slot.session1 = num(session1);
      slot.session2 = num(session2);
      slot.kind = "pvp";
      form.sdk.Whisper(session1, "You are being attacked by " + name2 + ".");
      form.sdk.Whisper(session2, "You are attacking " + name1 + ".");
      form.activityLog->record(name2 + " attacked " + name1);
      return;
    }
  }
}

int16_t battleing(const Form1& form, const std::string& nname) {
  for (int i = 0; i < kBattleSlots; ++i) {
    const BattleSlot& slot = form.battles[static_cast<std::size_t>(i)];
    if (slot.name1 == nname || slot.name2 == nname) return static_cast<int16_t>(i);
  }
  return -1;
}

void removebattle(Form1& form, int i) {
  BattleSlot& slot = at(form.battles, i);
  slot.name1.clear();
  slot.name2.clear();
}

void battleTick(Form1& form) {
  for (int i = 0; i < kBattleSlots; ++i) {
    // Tested only when the loop gets here: a slot freed or filled by the
    // events pumped inside an earlier round of this tick counts as it is now.
    const BattleSlot& slot = form.battles[static_cast<std::size_t>(i)];
    if (slot.name1.empty()) continue;
    const bool monster = slot.kind == "battle";
    // The rounds contain the failures the game expects; anything else is
    // logged here so that one broken slot never stops the other fights.
    try {
      if (monster) {
        Sbattle(form, i);
      } else {
        SPvP(form, i);
      }
    } catch (const std::exception& e) {
      std::cerr << "kelvabot: battle slot " << i << " failed: " << e.what() << "\n";
    }
  }
}

// A click by or on an avatar without a character, and a click on oneself,
// are ignored without a reply: there is nobody to fight, and a fight against
// oneself could only move gold and experience in a circle.
void avatarClick(Form1& form) {
  const std::string clicker = form.sdk.AvatarName;
  const int32_t clickerSession = form.sdk.AvatarSession;
  const std::string clicked = form.sdk.ClickedName;
  const int32_t clickedSession = form.sdk.ClickedSession;

  const int16_t a = userpos(form.roster, clicker);
  const int16_t d = userpos(form.roster, clicked);
  if (a == kNoPlayer || d == kNoPlayer || clicker == clicked) return;
  const PlayerRecord& attacker = at(form.roster, a);
  const PlayerRecord& defender = at(form.roster, d);

  if (!attacker.pvpEnabled) {
    form.sdk.Whisper(clickerSession, "You do not have PvP on.");
  } else if (!defender.pvpEnabled) {
    form.sdk.Whisper(clickerSession, "That person does not have PvP on.");
  } else if (attacker.hp == 0) {
    form.sdk.Whisper(clickerSession, "You are dead and may not battle.");
  } else if (defender.hp == 0) {
    form.sdk.Whisper(clickerSession, "That person is dead and you cannot attack a dead body.");
  } else {
    addpvp(form, clicked, clicker, clickedSession, clickerSession);
  }
}

}  // namespace kelva::combat
