// One exchange of a fight against a monster: on turn 0 the player strikes, on
// any other turn the monster does; victory pays the monster's gold and
// experience, death costs a part of both.
//
// Each numbered step of the exchange stands on its own: when a statement of
// a step fails (a 32-bit overflow, a roster index outside the table, a
// session text that is not a number) the rest of that step is skipped and the
// exchange goes on with the next step. Nothing done before the failure is
// undone. A value a failed step should have produced is missing, and the
// steps that need it are skipped as well.
#include "combat/monster_round.h"

#include <cmath>
#include <optional>
#include <string>

#include "combat/battle_table.h"
#include "combat/growth.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::combat {

namespace {

template <typename F>
void step(F&& f) {
  try {
    f();
  } catch (const GameError&) {
  }
}

// The value an earlier step produced; when that step failed there is none,
// and the step that needs it fails in turn.
template <typename T>
T produced(const std::optional<T>& value) {
  if (!value) throw GameError(GameErrorKind::kMissingValue, "an earlier step did not produce this value");
  return *value;
}

// A strike's damage: a roll from 1 to the full strength, but never less than
// half the strength (truncated towards zero).
int32_t strikeDamage(Rng& rng, int32_t strength) {
  int32_t damage = addLong(toLong(rng.roll(strength)), 1);
  const int32_t half = strength / 2;
  if (damage < half) damage = half;
  return damage;
}

}  // namespace

void Sbattle(Form1& form, int i) {
  BattleSlot& s = at(form.battles, i);
  auto player = [&]() -> PlayerRecord& { return at(form.roster, s.ploc1); };
  auto whisper = [&](const std::string& text) { form.sdk.Whisper(strictLong(s.session1), text); };

  if (s.turn == 0) {
    std::optional<int64_t> roll;
    step([&] { roll = form.rng.roll(6); });
    // When the hit test itself fails the strike goes ahead; its own steps
    // then fail or succeed on their own.
    bool missed = false;
    step([&] {
      if (subLong(player().speed, toLong(produced(roll))) < s.edex) {
        whisper("You miss the " + s.ename + ".");
        missed = true;
      }
    });
    if (missed) {
      s.turn = static_cast<int16_t>(s.turn ^ 1);
      return;
    }
    std::optional<int32_t> damage;
    step([&] { damage = strikeDamage(form.rng, player().strength); });
    // The monster's armour plays no part.
    step([&] { s.ehp = subLong(s.ehp, produced(damage)); });
    step([&] { whisper("You hit the " + s.ename + " with " + num(produced(damage)) + " damage."); });
    if (s.ehp > 0) {
      s.turn = static_cast<int16_t>(s.turn ^ 1);
      return;
    }

    // Victory: the reward, as many level-ups as it pays for, then the slot
    // is freed. The turn is left as it is; the next fight resets it. Gold and
    // experience are paid in one step: when the gold overflows, the
    // experience is not paid either.
    step([&] {
      player().gold = addLong(player().gold, s.egp);
      player().exp = addLong(player().exp, s.eexp);
    });
    step([&] {
      whisper("You have beaten the " + s.ename + " and has gained " + num(s.egp) + "gp and " + num(s.eexp) +
              "exp.");
    });
    // `need` keeps the last value worked out: a level-up that fails part-way
    // ends the loop, and the next step still tells the player that value.
    std::optional<int32_t> need;
    step([&] {
      auto stillNeeded = [&] { return subLong(mulLong(player().level, 100), player().exp); };
      need = stillNeeded();
      // levelup finds the player by name; when it cannot raise the level
      // (the name is gone, or is someone else's now) the loop stops. Its
      // saves are made one: a large reward levels up thousands of times.
      LevelupSaves saves(form, s.name1);
      while (*need <= 0 && levelup(form, strictLong(s.session1), s.name1)) need = stillNeeded();
    });
    step([&] { whisper("You need " + num(produced(need)) + " more experience to level up."); });
    form.activityLog->record(s.name1 + " beat the " + s.ename + ": " + num(s.egp) + "gp, " + num(s.eexp) + "exp");
    step([&] {
      savestats(form);
      removebattle(form, i);
    });
    return;
  }

  // The monster never misses; only armour stops its damage. When the hit
  // points cannot take the blow, the blow is not announced either.
  step([&] {
    const int32_t damage = subLong(strikeDamage(form.rng, s.estr), player().ac);
    if (damage <= 0) {
      whisper(s.ename + " could not damage you.");
    } else {
      player().hp = subLong(player().hp, damage);
      whisper(s.ename + " hits you with " + num(damage) + " damage.");
    }
  });
  bool died = false;
  step([&] { died = player().hp <= 0; });
  if (!died) {
    s.turn = static_cast<int16_t>(s.turn ^ 1);
    return;
  }

  // Death: the losses are both worked out before either is taken.
  step([&] { player().hp = 0; });
  step([&] { whisper("You have been killed by " + s.ename + "."); });
  std::optional<int32_t> lostExp;
  std::optional<int32_t> lostGold;
  step([&] {
    const PlayerRecord& p = player();
    const int32_t e = toLong(static_cast<int64_t>(std::floor(static_cast<double>(p.exp) * 0.07)));
    const int32_t g = toLong(static_cast<int64_t>(std::floor(static_cast<double>(p.gold) * 0.05)));
    lostExp = e;
    lostGold = g;
  });
  step([&] {
    player().exp = subLong(player().exp, produced(lostExp));
    player().gold = subLong(player().gold, produced(lostGold));
  });
  step([&] {
    whisper("You have lost " + num(produced(lostExp)) + " experience and " + num(produced(lostGold)) + " gp.");
  });
  form.activityLog->record(s.name1 + " was killed by the " + s.ename);
  step([&] {
    savestats(form);
    removebattle(form, i);
  });
}

}  // namespace kelva::combat
