// One round of a fight between two players: the attacker strikes, the world
// gets one chance to deliver its pending events, then the defender strikes
// back if still standing. A defeat hands a share of the loser's gold and
// experience to the winner, who may then fall foul of the King's rule.
//
// A step that fails (a 32-bit overflow, a roster index outside the table, a
// session text that is not a number) abandons the rest of the round; what
// the round changed before the failure stays changed, and the same round is
// fought again at the next tick.
#include "combat/pvp_round.h"

#include <cmath>
#include <string>

#include "combat/battle_table.h"
#include "combat/growth.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::combat {

namespace {

constexpr const char* kKingsVerdict =
    "King of Varnhol:     How dare you attack someone that much weaker then you. Off with his head!";

// One side of the fight as the round read it from its slot.
struct Fighter {
  PlayerRecord& record;
  const std::string& name;
  const std::string& session;  // decimal text, turned into a number at each whisper
};

class Round {
 public:
  Round(Form1& form, int slot, const Fighter& defender, const Fighter& attacker)
      : form_(form), slot_(slot), defender_(defender), attacker_(attacker) {}

  void run() {
    strike(attacker_, defender_);
    // Events that were waiting run now: a flight, a skill, a reload. The
    // round goes on with the players it read at its start.
    form_.sdk.Wait(0);
    if (defender_.record.hp > 0) {
      strike(defender_, attacker_);
      if (attacker_.record.hp > 0) return;
      defeat(defender_, attacker_);
    } else {
      defeat(attacker_, defender_);
    }
  }

 private:
  void whisper(const Fighter& to, const std::string& text) {
    form_.sdk.Whisper(strictLong(to.session), text);
  }
  // Both players read every line about the fight, the defender first.
  void whisperBoth(const std::string& text) {
    whisper(defender_, text);
    whisper(attacker_, text);
  }

  // No miss: every blow lands, and one the armour stops reports 0 damage.
  void strike(const Fighter& striker, const Fighter& target) {
    const int32_t strength = striker.record.strength;
    int32_t damage = addLong(toLong(form_.rng.roll(strength)), 1);
    if (damage < strength / 2) damage = strength / 2;
    damage = subLong(damage, target.record.ac);
    if (damage < 0) damage = 0;
    target.record.hp = subLong(target.record.hp, damage);
    whisperBoth(striker.name + " hits " + target.name + " with " + num(damage) + " damage.");
  }

  void defeat(const Fighter& winner, const Fighter& loser) {
    PlayerRecord& w = winner.record;
    PlayerRecord& l = loser.record;
    l.hp = 0;
    const int32_t lostExp = toLong(static_cast<int64_t>(std::floor(static_cast<double>(l.exp) * 0.07)));
    const int32_t lostGold = toLong(static_cast<int64_t>(std::floor(static_cast<double>(l.gold) * 0.05)));
    transferShares(w, l, lostGold, lostExp);

    whisperBoth(winner.name + " has beaten " + loser.name + ".");
    whisper(winner, "You gained " + num(lostGold) + "gp and " + num(lostExp) + "exp.");
    whisper(loser, "You lost " + num(lostGold) + "gp and " + num(lostExp) + "exp.");

    auto stillNeeded = [&] { return subLong(mulLong(w.level, 100), w.exp); };
    int32_t need = stillNeeded();
    {
      // levelup finds the winner by name; when it cannot raise the level
      // (the name is gone, or is someone else's now) the loop stops. Its
      // saves are made one: a large reward levels up thousands of times.
      LevelupSaves saves(form_, winner.name);
      while (need <= 0 && levelup(form_, strictLong(winner.session), winner.name)) need = stillNeeded();
    }
    whisper(winner, "You need " + num(need) + " more experience to level up.");

    // The King judges the winner with the level just reached, whoever
    // attacked; the spoils are kept.
    if (l.level < subLong(w.level, 10)) {
      whisper(winner, kKingsVerdict);
      whisper(winner, "You were killed by order of the King.");
      w.hp = 0;
      form_.activityLog->record(winner.name + " was killed by order of the King");
    }
    savestats(form_);
    form_.activityLog->record(winner.name + " beat and killed " + loser.name + " in a fight");
    removebattle(form_, slot_);
  }

  // The four changes are made in the game's order, which matters when both
  // sides are the same character. An overflow abandons the round but keeps
  // what was already moved: a winner whose experience is full gains the
  // gold again each time the round is fought.
  static void transferShares(PlayerRecord& w, PlayerRecord& l, int32_t lostGold, int32_t lostExp) {
    w.gold = addLong(w.gold, lostGold);
    w.exp = addLong(w.exp, lostExp);
    l.gold = subLong(l.gold, lostGold);
    l.exp = subLong(l.exp, lostExp);
  }

  Form1& form_;
  int slot_;
  Fighter defender_;
  Fighter attacker_;
};

}  // namespace

void SPvP(Form1& form, int i) {
  // Copies, not references: the pump inside the round may free or refill the
  // slot, and the round must still name the players it started with.
  const BattleSlot& slot = at(form.battles, i);
  const std::string name1 = slot.name1;
  const std::string name2 = slot.name2;
  const std::string session1 = slot.session1;
  const std::string session2 = slot.session2;
  const int16_t ploc1 = slot.ploc1;
  const int16_t ploc2 = slot.ploc2;
  try {
    Round round(form, i, Fighter{at(form.roster, ploc1), name1, session1},
                Fighter{at(form.roster, ploc2), name2, session2});
    round.run();
  } catch (const GameError&) {
    // The rest of this round is abandoned; the slot is fought again next tick.
  }
}

}  // namespace kelva::combat
