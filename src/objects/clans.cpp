#include "objects/clans.h"

#include <array>
#include <string>

#include "combat/growth.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::objects {

namespace {

bool fitsInteger(int32_t v) { return v >= INT16_MIN && v <= INT16_MAX; }

}  // namespace

void clanHall(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  PlayerRecord& P = at(form.roster, p);
  if (P.clan != "none") {
    answer(form, click, "You are already part of a clan.");
    return;
  }
  if (!(P.level >= def.param)) {
    answer(form, click, "You are not of an acceptable level to join this clan.");
    return;
  }
  // The player keeps the bonuses as 16-bit numbers. A hall whose bonuses do
  // not fit cannot be joined at all, rather than joined with half its
  // bonuses written.
  const std::array<int32_t, 5> bonuses{def.stat1, def.stat2, def.stat3, def.stat4, def.stat5};
  for (int32_t b : bonuses) {
    if (!fitsInteger(b)) {
      answer(form, click, "You cannot join this clan.");
      return;
    }
  }
  // The player is clanless, so the statistics as they are become the base
  // values: no clandstats before the bonuses are applied.
  changeWhole(P, [&] {
    P.clan = def.name;
    P.clanAcBonus = def.acBonus;
    P.clanMaxHpBonus = toInteger(def.stat1);
    P.clanSpeedBonus = toInteger(def.stat2);
    P.clanStrengthBonus = toInteger(def.stat3);
    P.shroomType = def.tag;
    P.clanMaxMpBonus = toInteger(def.stat5);
    P.clanCharismaBonus = toInteger(def.stat4);
    combat::clanastats(form, p);
  });
  answer(form, click, "You joined the " + def.name + "'s clan.");
  savestats(form);
  form.activityLog->record(click.clicker + " joined the clan " + def.name);
}

void skillTeacher(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  PlayerRecord& P = at(form.roster, p);
  const std::string& skill = def.name;
  if (def.tag != P.clan) {
    answer(form, click, "You cannot learn a skill from another clan.");
    return;
  }
  // A known skill is the whole list, the end of the list (with no separator
  // before it, so a teacher of "mask" refuses a knower of "bomb mask"), or
  // any place followed by a comma.
  if (P.skills == skill || P.skills.ends_with(skill) || P.skills.find(skill + ",") != std::string::npos) {
    answer(form, click, "You already know this skill.");
    return;
  }
  // The price is tested before the level: a poor, low player hears the price.
  if (P.gold < def.stat4) {
    answer(form, click, "You do not have enough GP.");
    return;
  }
  if (!(P.level >= def.param)) {
    answer(form, click, "You are not of an acceptable level to learn this skill.");
    return;
  }
  const int32_t gold = subLong(P.gold, def.stat4);
  P.gold = gold;
  P.skills = P.skills.empty() ? skill : P.skills + "," + skill;
  savestats(form);
  answer(form, click, "You learned " + skill + ".");
  form.activityLog->record(click.clicker + " learned " + skill + " for " + num(def.stat4) + "gp");
}

}  // namespace kelva::objects
