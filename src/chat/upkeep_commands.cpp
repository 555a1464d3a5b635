// The upkeep commands: reloading the roster, healing, PvP on and off, going
// home, fleeing a fight, starting afresh and leaving a clan.
//
// Replies are whispers to the speaker's ChatSession, read at each reply.
#include "chat/upkeep_commands.h"

#include <iostream>

#include "combat/battle_table.h"
#include "combat/growth.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::chat {

namespace {

constexpr const char* kNoCharacter = "You do not have a charecter.";

void reply(Form1& form, const std::string& text) { form.sdk.Whisper(form.sdk.ChatSession, text); }

// The world's origin, 100 units up, without the warp effect.
void teleportHome(Form1& form) {
  form.sdk.TeleportX = 0;
  form.sdk.TeleportY = 100;
  form.sdk.TeleportZ = 0;
  form.sdk.TeleportWarp = false;
  form.sdk.Teleport(form.sdk.ChatSession);
}

}  // namespace

void cmdReload(Form1& form, const ChatLine& chat) {
  if (!chat.isAdmin) return;
  // A missing or broken file leaves the roster exactly as it was; only the
  // operator hears about it.
  const LoadResult result = initstats(form);
  if (result.outcome != LoadOutcome::kLoaded) {
    std::cerr << "kelvabot: RELOAD failed, roster unchanged: " << result.status.message() << "\n";
    form.activityLog->record("RELOAD refused, roster unchanged: " + result.status.message());
    return;
  }
  form.sdk.Say("Stats reloaded");
}

void cmdAheal(Form1& form, const ChatLine& chat) {
  if (!chat.isAdmin) return;
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) {
    reply(form, kNoCharacter);
    return;
  }
  // Free, and heal answers and saves itself.
  combat::heal(form, form.sdk.ChatSession, chat.speaker, 0, at(form.roster, i).maxHp);
}

void cmdDrinkHppotion(Form1& form, const ChatLine& chat) {
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) {
    reply(form, kNoCharacter);
    return;
  }
  if (itemcount(form.roster, "hppotion", i) == 0) {
    reply(form, "You have no HP Potions.");
    return;
  }
  // A potion is used up even at full health, and works in the middle of a fight.
  PlayerRecord& p = at(form.roster, i);
  p.hp = p.maxHp;
  removeitem(form.roster, "hppotion", i);
  savestats(form);
  reply(form, "You have been fully healed.");
}

void cmdPvp(Form1& form, const ChatLine& chat) {
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) return;
  PlayerRecord& p = at(form.roster, i);
  // The switch is never saved: after a restart everyone has it off.
  p.pvpEnabled = !p.pvpEnabled;
  reply(form, p.pvpEnabled ? "PvP is enabled." : "PvP is disabled.");
}

void cmdHome(Form1& form, const ChatLine&) { teleportHome(form); }

void cmdRun(Form1& form, const ChatLine& chat) {
  const int16_t j = combat::battleing(form, chat.speaker);
  if (j < 0) {
    reply(form, "You are not battling!");
    return;
  }
  // Fleeing is free: nothing is taken and nothing is saved.
  combat::removebattle(form, j);
  reply(form, "You ran from battle!");
  form.activityLog->record(chat.speaker + " ran from a battle");
  const BattleSlot& slot = at(form.battles, j);
  if (slot.kind != "pvp") return;
  // The runner is told apart from the opponent by the speaker's session.
  const int32_t session1 = strictLong(slot.session1);
  const int32_t opponent = session1 == form.sdk.ChatSession ? strictLong(slot.session2) : session1;
  form.sdk.Whisper(opponent, chat.speaker + " ran from the battle.");
}

// A speaker without a character is told so and nothing changes.
void cmdReset(Form1& form, const ChatLine& chat) {
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) {
    reply(form, kNoCharacter);
    return;
  }
  // The clan bonus fields, the shroom type and the PvP switch are kept, and a
  // fight the player is in goes on.
  PlayerRecord& p = at(form.roster, i);
  setStartingValues(p, chat.speaker);
  p.items.clear();
  p.skills.clear();
  teleportHome(form);
  reply(form, "You have been born again!");
  savestats(form);
}

// A speaker without a character is told so and nothing changes.
void cmdAbandonClan(Form1& form, const ChatLine& chat) {
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) {
    reply(form, kNoCharacter);
    return;
  }
  PlayerRecord& p = at(form.roster, i);
  if (p.clan == "none") {
    reply(form, "You are not part of any clan.");
    return;
  }
  // Without a clan there are no magic shrooms to collect.
  p.clan = "none";
  p.shroomType.clear();
  combat::clandstats(form, i);
  reply(form, "You abandoned your clan.");
  savestats(form);
}

}  // namespace kelva::chat
