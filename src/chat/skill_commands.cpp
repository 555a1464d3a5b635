#include "chat/skill_commands.h"

#include <array>
#include <string>
#include <string_view>

#include "combat/battle_table.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::chat {

namespace {

// One damage skill: the command as typed (upper-cased), the skill that
// allows it, its cost in magic points and its damage. A skill with a spread
// rolls spread values from `base` up; a skill without one always does `base`.
struct DamageSkill {
  std::string_view command;
  std::string_view skill;
  int32_t mpCost;
  int32_t spread;
  int32_t base;
  std::string_view speakerEnd;  // after "You did " and the damage
  std::string_view otherEnd;    // after "You lost " and the damage
};

constexpr std::array<DamageSkill, 10> kDamageSkills{{
    {"/BEHEAD", "behead", 0, 501, 500, " damage with behead.", " HP from a behead attack."},
    {"/SLICENDICE", "slicendice", 0, 301, 700, " damage with SliceNDice.", " HP from a SliceNDice attack."},
    {"/TERMINATE", "terminate", 10, 501, 500, " damage with Terminate.", " HP from a Terminate attack."},
    {"/ANCIENT MAGIC", "ancient magic", 30, 2001, 1000, " damage with Ancient Magic.",
     " HP from a Ancient Magic attack."},
    {"/RANGER MAGIC", "ranger magic", 20, 701, 800, " damage with Ranger Magic.", " HP from a Ranger Magic attack."},
    {"/BLINDING FLASH", "blinding flash", 5, 0, 25, " damage with a Blinding Flash.",
     " HP from a Blinding Flash attack."},
    {"/FIRE CRACKER", "fire cracker", 15, 0, 50, " damage with a Fire Cracker.", " HP from a Fire Cracker attack."},
    {"/BOMB MASK", "bomb mask", 20, 0, 75, " damage with a Bomb Mask attack.", " HP from a Bomb Mask attack."},
    {"/HAND GRENADE", "hand grenade", 25, 0, 125, " damage with a Hand Grenade.", " HP from a Hand Grenade."},
    // Launching bombachus needs no skill of its own: hand grenade users can.
    {"/BOMBACHU LAUNCHING", "hand grenade", 40, 0, 200, " damage with a Bombachu.", " HP from a Bombachu."},
}};

constexpr const char* kNotBattling = "You are not battling.";
constexpr const char* kUnknownSkill = "You do not know this skill.";
constexpr const char* kNotEnoughMp = "You do not have enough MP.";

// Replies go to the speaker's session as the chat event reports it.
void reply(Form1& form, const std::string& text) { form.sdk.Whisper(form.sdk.ChatSession, text); }

// In a fight between players, the other one: the attacker when the speaker
// is the defender (`name1`), else the defender.
int16_t opponentIndex(const BattleSlot& slot, const std::string& speaker) {
  return slot.name1 == speaker ? slot.ploc2 : slot.ploc1;
}

// The other player's session, kept in the slot as text.
int32_t opponentSession(const BattleSlot& slot, const std::string& speaker) {
  return strictLong(slot.name1 == speaker ? slot.session2 : slot.session1);
}

// The first tests every battle skill makes, in this order: the speaker is in
// a battle, then knows the skill. Returns the battle slot, or -1 after the
// refusal was said.
int16_t battleForSkill(Form1& form, const ChatLine& chat, int16_t u, std::string_view skill) {
  const int16_t b = combat::battleing(form, chat.speaker);
  if (b == -1) {
    reply(form, kNotBattling);
    return -1;
  }
  if (!checkskill(form.roster, u, skill)) {
    reply(form, kUnknownSkill);
    return -1;
  }
  return b;
}

}  // namespace

void cmdDamageSkill(Form1& form, const ChatLine& chat) {
  const DamageSkill* skill = nullptr;
  for (const DamageSkill& row : kDamageSkills) {
    if (row.command == chat.upper) {
      skill = &row;
      break;
    }
  }
  if (skill == nullptr) return;

  const int16_t u = userpos(form.roster, chat.speaker);
  const int16_t b = battleForSkill(form, chat, u, skill->skill);
  if (b == -1) return;
  PlayerRecord& me = at(form.roster, u);
  int32_t mpAfter = me.mp;
  if (skill->mpCost > 0) {
    if (me.mp < skill->mpCost) {
      reply(form, kNotEnoughMp);
      return;
    }
    mpAfter = subLong(me.mp, skill->mpCost);
  }
  const int32_t damage = skill->spread > 0 ? toLong(form.rng.roll(skill->spread) + skill->base) : skill->base;
  const std::string done = "You did " + num(damage) + std::string(skill->speakerEnd);

  // Skills only lower the numbers (nothing is clamped); the next round of
  // the battle settles who has won.
  BattleSlot& slot = at(form.battles, b);
  if (slot.kind != "pvp") {
    const int32_t ehp = subLong(slot.ehp, damage);
    me.mp = mpAfter;
    slot.ehp = ehp;
    reply(form, done);
    return;
  }
  PlayerRecord& other = at(form.roster, opponentIndex(slot, chat.speaker));
  const int32_t otherSession = opponentSession(slot, chat.speaker);
  const int32_t hp = subLong(other.hp, damage);
  me.mp = mpAfter;
  other.hp = hp;
  reply(form, done);
  form.sdk.Whisper(otherSession, "You lost " + num(damage) + std::string(skill->otherEnd));
  savestats(form);
}

void cmdSteal(Form1& form, const ChatLine& chat) {
  const int16_t u = userpos(form.roster, chat.speaker);
  const int16_t b = battleForSkill(form, chat, u, "steal");
  if (b == -1) return;
  PlayerRecord& me = at(form.roster, u);
  BattleSlot& slot = at(form.battles, b);
  const bool pvp = slot.kind == "pvp";

  // One chance in three.
  const bool caught = form.rng.roll(3) != 0;
  if (caught) {
    // The thief is hurt by the one he stole from. In a fight between players
    // that is the other player's strength, not the slot's monster strength,
    // which a player fight never sets.
    const int32_t strength = pvp ? at(form.roster, opponentIndex(slot, chat.speaker)).strength : slot.estr;
    const int32_t damage = toLong(form.rng.roll(strength) + 1);
    me.hp = subLong(me.hp, damage);
    reply(form, "You were cuaght and took " + num(damage) + " damage.");
    savestats(form);
    return;
  }

  if (!pvp) {
    // The monster's reward is not reduced by the theft.
    const int32_t amount = toLong(form.rng.roll(slot.egp) + 1);
    me.gold = addLong(me.gold, amount);
    reply(form, "You stole " + num(amount) + "gp.");
    savestats(form);
    return;
  }

  const int16_t o = opponentIndex(slot, chat.speaker);
  PlayerRecord& other = at(form.roster, o);
  const int32_t otherSession = opponentSession(slot, chat.speaker);
  const int32_t amount = toLong(form.rng.roll(other.gold) + 1);
  // Worked out before either purse changes, so an overflow changes neither;
  // a player robbing himself ends with what he had.
  const int32_t myGold = addLong(me.gold, amount);
  const int32_t otherGold = subLong(o == u ? myGold : other.gold, amount);
  me.gold = myGold;
  other.gold = otherGold;
  reply(form, "You stole " + num(amount) + "gp.");
  form.sdk.Whisper(otherSession, "You had " + num(amount) + "gp stolen from you.");
  savestats(form);
}

void cmdHealingPlants(Form1& form, const ChatLine& chat) {
  // No battle is needed, so a speaker without a character gets here and is
  // told so.
  const int16_t u = userpos(form.roster, chat.speaker);
  if (u == kNoPlayer) {
    reply(form, "You do not have a charecter.");
    return;
  }
  if (!checkskill(form.roster, u, "healing plants")) {
    reply(form, kUnknownSkill);
    return;
  }
  PlayerRecord& me = at(form.roster, u);
  if (me.mp < 10) {
    reply(form, kNotEnoughMp);
    return;
  }
  me.mp = subLong(me.mp, 10);
  me.hp = me.maxHp;
  reply(form, "You were fully healed.");
  savestats(form);
}

}  // namespace kelva::chat
