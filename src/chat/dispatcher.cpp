// The chat interpreter.
//
// Every chat line is matched against one table of commands, searched in
// order: first the whole-line commands (the upper-cased line must equal the
// literal exactly, nothing trimmed), then the prefix commands (the first
// characters of the line, lower- or upper-cased, must equal the literal). The
// first row that matches decides: it runs, or, when it is for administrators
// only and the speaker is none, the line is dropped. A line that matches no
// row is dropped without a reply.
#include "chat/dispatcher.h"

#include <array>
#include <iostream>
#include <string_view>

#include "chat/catalog_commands.h"
#include "chat/chat_line.h"
#include "chat/info_commands.h"
#include "chat/owner_messages.h"
#include "chat/skill_commands.h"
#include "chat/upkeep_commands.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "state/form1.h"

namespace kelva::chat {

namespace {

enum class Match {
  kWholeLine,         // the upper-cased line equals the literal
  kLowerCasedPrefix,  // the line's first characters, lower-cased, equal the literal
  kUpperCasedPrefix,  // the line's first characters, upper-cased, equal the literal
};

enum class Access { kEveryone, kAdministrators };

// The administrators' catalogue and message commands trust their input; a
// malformed line makes them fail part-way, and that failure ends the line
// quietly instead of reaching the event boundary.
enum class Failures { kPassOn, kContained };

using Handler = void (*)(Form1&, const ChatLine&);

struct CommandRow {
  std::string_view literal;
  Match match;
  Access access;
  Failures failures;
  Handler handler;
};

constexpr Match kWhole = Match::kWholeLine;
constexpr Access kAll = Access::kEveryone;
constexpr Access kAdmins = Access::kAdministrators;
constexpr Failures kPass = Failures::kPassOn;
constexpr Failures kContain = Failures::kContained;

// No whole-line literal begins with one of the prefixes, so at most one row
// can run for a line; the order still matters for the administrator rule.
constexpr std::array<CommandRow, 33> kCommands{{
    {"RELOAD", kWhole, kAdmins, kPass, cmdReload},
    {"/EQUIPMENT", kWhole, kAll, kPass, cmdEquipment},
    {"/STATS", kWhole, kAll, kPass, cmdStats},
    {"/AHEAL", kWhole, kAdmins, kPass, cmdAheal},
    {"/DRINK HPPOTION", kWhole, kAll, kPass, cmdDrinkHppotion},
    {"/OBJECT NUMBER", kWhole, kAdmins, kPass, cmdObjectNumber},
    {"/ADMIN COMMANDS", kWhole, kAdmins, kPass, cmdAdminCommands},
    {"/PVP", kWhole, kAll, kPass, cmdPvp},
    {"/HOME", kWhole, kAll, kPass, cmdHome},
    {"/RUN", kWhole, kAll, kPass, cmdRun},
    {"/RESET", kWhole, kAll, kPass, cmdReset},
    {"/ABANDON CLAN", kWhole, kAll, kPass, cmdAbandonClan},
    {"/SKILLS", kWhole, kAll, kPass, cmdSkills},
    {"/STEAL", kWhole, kAll, kPass, cmdSteal},
    {"/BEHEAD", kWhole, kAll, kPass, cmdDamageSkill},
    {"/SLICENDICE", kWhole, kAll, kPass, cmdDamageSkill},
    {"/TERMINATE", kWhole, kAll, kPass, cmdDamageSkill},
    {"/HEALING PLANTS", kWhole, kAll, kPass, cmdHealingPlants},
    {"/ANCIENT MAGIC", kWhole, kAll, kPass, cmdDamageSkill},
    {"/RANGER MAGIC", kWhole, kAll, kPass, cmdDamageSkill},
    {"/BLINDING FLASH", kWhole, kAll, kPass, cmdDamageSkill},
    {"/FIRE CRACKER", kWhole, kAll, kPass, cmdDamageSkill},
    {"/BOMB MASK", kWhole, kAll, kPass, cmdDamageSkill},
    {"/HAND GRENADE", kWhole, kAll, kPass, cmdDamageSkill},
    {"/BOMBACHU LAUNCHING", kWhole, kAll, kPass, cmdDamageSkill},
    {"/COMMANDS", kWhole, kAll, kPass, cmdCommands},
    {"/use scan ", Match::kLowerCasedPrefix, kAll, kPass, cmdUseScan},
    {"/amount ", Match::kLowerCasedPrefix, kAll, kPass, cmdAmount},
    {"ARMORID ", Match::kUpperCasedPrefix, kAdmins, kContain, cmdArmorId},
    {"WEAPONID ", Match::kUpperCasedPrefix, kAdmins, kContain, cmdWeaponId},
    {"BMESSAGE: ", Match::kUpperCasedPrefix, kAdmins, kContain, cmdBmessage},
    {"ARWEADD", Match::kUpperCasedPrefix, kAdmins, kContain, cmdArweadd},
    {"OBJADD", Match::kUpperCasedPrefix, kAdmins, kContain, cmdObjadd},
}};

bool matches(const CommandRow& row, const ChatLine& chat) {
  switch (row.match) {
    case Match::kWholeLine:
      return chat.upper == row.literal;
    case Match::kLowerCasedPrefix:
      // A line shorter than the prefix does not match it.
      return chat.line.size() >= row.literal.size() &&
             toLowerAscii(std::string_view(chat.line).substr(0, row.literal.size())) == row.literal;
    case Match::kUpperCasedPrefix:
      return chat.upper.size() >= row.literal.size() &&
             std::string_view(chat.upper).substr(0, row.literal.size()) == row.literal;
  }
  return false;
}

bool isAdministrator(const Form1& form, const std::string& speaker) {
  // Exact comparison, no trimming: an empty box matches only an empty name.
  for (const std::string& box : form.console.Text1) {
    if (box == speaker) return true;
  }
  return false;
}

void run(Form1& form, const CommandRow& row, const ChatLine& chat) {
  if (row.failures == Failures::kPassOn) {
    row.handler(form, chat);
    return;
  }
  try {
    row.handler(form, chat);
  } catch (const GameError& e) {
    // The speaker hears nothing; what the command changed before the failure
    // stays changed. The operator learns why from the log.
    std::cerr << "kelvabot: administrator command from " << chat.speaker << " stopped: " << e.what()
              << "\n";
  }
}

}  // namespace

void onChat(Form1& form) {
  ChatLine chat;
  chat.speaker = form.sdk.AvatarName;
  chat.isAdmin = isAdministrator(form, chat.speaker);
  chat.line = form.sdk.ChatMessage;
  chat.upper = toUpperAscii(chat.line);

  for (const CommandRow& row : kCommands) {
    if (!matches(row, chat)) continue;
    // An administrator command from anyone else ends the line: no other row
    // is tried and nothing is said.
    const bool adminOnly = row.access == Access::kAdministrators;
    if (adminOnly && !chat.isAdmin) return;
    if (adminOnly) form.activityLog->record("administrator " + chat.speaker + ": " + chat.line);
    run(form, row, chat);
    return;
  }
}

}  // namespace kelva::chat
