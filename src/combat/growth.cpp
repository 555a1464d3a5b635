// Levelling, paid healing and the clan bonuses.
//
// A 32-bit overflow raises GameError. A level-up or a clan bonus change that
// fails part-way keeps what it changed before the failure: the battle rounds
// that call them abandon, they do not undo. A purchase or a clan join that
// must change nothing when it fails wraps its whole change itself. A heal
// changes the character only once all its sums are known.
#include "combat/growth.h"

#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::combat {

namespace {

// A clan percentage on top of a value: (bonus / 100) * value + value in
// double precision, rounded to the nearest long with halves to even. This
// order of operations is the one the game has always used; it matters for
// negative bonuses and bonuses above 100.
int32_t withPercent(int32_t value, int16_t bonus) {
  const double v = static_cast<double>(value);
  return roundToLong(static_cast<double>(bonus) / 100.0 * v + v);
}

void applyClanBonuses(PlayerRecord& p) {
  p.baseMaxMp = p.maxMp;
  p.baseStrength = p.strength;
  p.baseMaxCharisma = p.maxCharisma;
  p.baseMaxHp = p.maxHp;
  p.baseSpeed = p.speed;
  p.baseAc = p.ac;
  p.ac = addLong(p.ac, p.clanAcBonus);
  p.maxCharisma = withPercent(p.maxCharisma, p.clanCharismaBonus);
  p.maxHp = withPercent(p.maxHp, p.clanMaxHpBonus);
  // The base keeps the 0 stored above, so every character who has levelled
  // or joined a clan has a magic pool of 5 before the clan's own bonus.
  if (p.maxMp == 0) p.maxMp = 5;
  p.maxMp = withPercent(p.maxMp, p.clanMaxMpBonus);
  p.speed = withPercent(p.speed, p.clanSpeedBonus);
  p.strength = withPercent(p.strength, p.clanStrengthBonus);
}

void removeClanBonuses(PlayerRecord& p) {
  p.ac = p.baseAc;
  p.maxCharisma = p.baseMaxCharisma;
  p.maxHp = p.baseMaxHp;
  p.maxMp = p.baseMaxMp;
  p.speed = p.baseSpeed;
  p.strength = p.baseStrength;
}

}  // namespace

// A name that no character has gets no answer and changes nothing: callers
// only pass names they found, and a stale name must never level up or charge
// someone else. Returning false also ends the battle rounds' level-up loops.
bool levelup(Form1& form, int32_t session, const std::string& name) {
  const int16_t pos = userpos(form.roster, name);
  if (pos == kNoPlayer) return false;
  PlayerRecord& p = at(form.roster, pos);

  const int32_t cost = mulLong(p.level, 100);
  if (subLong(p.exp, cost) < 0) {
    form.sdk.Whisper(session, "You do not have enough exp to gain a level. You need " +
                                  num(subLong(cost, p.exp)) + " more exp to gain a level.");
    return false;
  }

  removeClanBonuses(p);
  p.exp = subLong(p.exp, cost);
  p.maxHp = addLong(p.maxHp, 5);
  // A full heal to the maximum without the hp bonus, which is applied below.
  p.hp = p.maxHp;
  p.level = addLong(p.level, 1);
  p.strength = addLong(p.strength, 1);
  p.speed = addLong(p.speed, 1);
  if (p.level % 50 == 0) p.maxCharisma = addLong(p.maxCharisma, 5);
  if (p.maxMp != 0) p.maxMp = addLong(p.maxMp, 5);
  applyClanBonuses(p);

  form.sdk.Whisper(session, "You are now level " + num(p.level) + ".");
  savestats(form);
  form.activityLog->record(name + " reached level " + num(p.level));
  return true;
}

// As with levelup, a name without a character is ignored silently.
void heal(Form1& form, int32_t session, const std::string& name, int32_t cost, int32_t hp) {
  const int16_t pos = userpos(form.roster, name);
  if (pos == kNoPlayer) return;
  PlayerRecord& p = at(form.roster, pos);

  const int32_t goldLeft = subLong(p.gold, cost);
  if (goldLeft < 0) {
    form.sdk.Whisper(session, "You do not have enough gp.");
    return;
  }
  // Only exact equality counts as healthy: a character above the maximum
  // (after leaving a clan) pays and is brought down to it.
  if (p.hp == p.maxHp) {
    form.sdk.Whisper(session, "You already have enough hp.");
    return;
  }
  int32_t healed = addLong(p.hp, hp);
  if (healed > p.maxHp) healed = p.maxHp;
  p.gold = goldLeft;
  p.hp = healed;
  form.sdk.Whisper(session, "Your hp has been healed for " + num(cost) + "gp.");
  savestats(form);
  form.activityLog->record(name + " was healed for " + num(cost) + "gp");
}

// kNoPlayer (what userpos gives for an unknown name) is ignored like an
// unknown name; any other index outside the roster is a caller error.
void clanastats(Form1& form, int ploc) {
  if (ploc == kNoPlayer) return;
  applyClanBonuses(at(form.roster, ploc));
}

void clandstats(Form1& form, int ploc) {
  if (ploc == kNoPlayer) return;
  removeClanBonuses(at(form.roster, ploc));
}

}  // namespace kelva::combat
