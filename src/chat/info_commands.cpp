// Character information commands: what a player learns about a character,
// the two help texts, and the administrators' object-number mode.
//
// All replies are whispers to the speaker's session, one line per whisper.
// Only /use scan (which uses up a scan) and /object number (which changes the
// watcher list) change anything.
#include "chat/info_commands.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "data/checked.h"
#include "data/numbers.h"
#include "data/player_record.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::chat {

namespace {

constexpr std::string_view kNoCharacter = "You do not have a character.";
// /skills, /amount and /use scan answer a speaker without a character as
// /aheal and /drink hppotion do, misspelling included.
constexpr std::string_view kNoCharecter = "You do not have a charecter.";

// The players' help text; every description begins at the 19th character.
constexpr std::array<std::string_view, 13> kPlayerHelp{{
    "The following are commands used in this game...",
    "/equipment        Shows stats on your armor and weapons.",
    "/stats            Shows are current stats.",
    "/drink hppotion   Uses one of you hppotions.",
    "/pvp              Enables or Disables Person vs Person.",
    "/home             Teleports you to GZ (the world's origin).",
    "/run              Run from battle.",
    "/reset            Resets your stats.",
    "/abandon clan     Removes you from your current clan.",
    "/skills           Shows your current skills.",
    "/use scan NAME    Uses a scan item. Replace NAME with name of another person.",
    "/amount ITEM      Shows current amount of ITEM.(Eg. /amount hppotion)",
    "/SKILL            Uses a skill. Replace SKILL with skill's name.(Not all skills work yet.)",
}};

constexpr std::array<std::string_view, 19> kAdminHelp{{
    "armorid ID   Checks armor's id",
    "weaponid ID   Checks weapon's id",
    "/aheal   Heals you for free.",
    "/object number   allows you to click objects and view their object numbers.",
    "bmessage: MESSAGE   replace MESSAGE with a message you would like to leave the bot owner.",
    "objadd battle,hp,speed,str,name,gp,exp,object number",
    "objadd heal,cost,Object Number",
    "objadd hppotion,cost,Object Number",
    "objadd armor,id,Object Number",
    "objadd weapon,id,Object Number",
    "objadd sellarmor,Object Number",
    "objadd sellweapon,Object Number",
    "objadd clan,name,min. level,ac,cha%,hpfull%,mpfull%,shroomtype,speed%,str%,Object Number",
    "objadd skill,name,min. level,cost,clan,Object Number",
    "objadd item,name,cost,Object Number",
    "arweadd armor,ac,speed,id,cost,name",
    "arweadd weapon,str,speed,id,cost,name",
    "WARNING!!! These commands do not have safety checks. So one error could cuase the bot to crash.",
    "Note: IDs cannot be zero.",
}};

// The session is read at each reply, as the world reports it for this line.
void whisper(Form1& form, std::string_view text) {
  form.sdk.Whisper(form.sdk.ChatSession, std::string(text));
}

// The speaker's roster index, or nullopt when the speaker has no character.
std::optional<int16_t> speakerRecord(const Form1& form, const ChatLine& chat) {
  const int16_t i = userpos(form.roster, chat.speaker);
  if (i == kNoPlayer) return std::nullopt;
  return i;
}

// The two statistics lines of record `r`, shown under the name `shownName`.
// The second line is built only after the first went out: the experience
// needed for the next level may overflow, and then only the first is said.
void whisperStatistics(Form1& form, const std::string& shownName, const PlayerRecord& r) {
  whisper(form, "stats: " + shownName + "     Level: " + num(r.level) + " Gold: " + num(r.gold) +
                    " HP: " + num(r.hp) + "/" + num(r.maxHp) + " Clan: " + r.clan);
  whisper(form, "Race: " + r.race + " AC:" + num(r.ac) + " Speed:" + num(r.speed) +
                    " Strength:" + num(r.strength) + " Charisma:" + num(r.charisma) + "/" +
                    num(r.maxCharisma) + " Exp: " + num(r.exp) + "/" + num(mulLong(r.level, 100)) +
                    " MP: " + num(r.mp) + "/" + num(r.maxMp));
}

}  // namespace

void cmdStats(Form1& form, const ChatLine& chat) {
  const auto i = speakerRecord(form, chat);
  if (!i) {
    whisper(form, kNoCharacter);
    return;
  }
  whisperStatistics(form, chat.speaker, at(form.roster, *i));
}

void cmdEquipment(Form1& form, const ChatLine& chat) {
  const auto i = speakerRecord(form, chat);
  if (!i) {
    whisper(form, kNoCharacter);
    return;
  }
  const PlayerRecord& r = at(form.roster, *i);
  whisper(form, "You have...");

  // The whole catalogue is scanned, so the last matching entry counts; with
  // no match entry 0 is shown (empty name and zeros in an empty catalogue).
  int w = 0;
  int a = 0;
  for (int j = 0; j <= form.lastCatalogIndex; ++j) {
    const CatalogEntry& e = at(form.catalog, j);
    if (e.id == r.weaponId && e.kind == kWeaponKind) w = j;
    if (e.id == r.armorId && e.kind == kArmorKind) a = j;
  }

  if (r.weaponId != 0) {
    const CatalogEntry& weapon = at(form.catalog, w);
    whisper(form, weapon.name + ": Str:" + num(weapon.strength) + " Speed:" + num(weapon.speed) +
                      "  as your weapon and");
  } else {
    whisper(form, "no weapon and");
  }
  if (r.armorId == 0) {
    whisper(form, "no armor.");
  } else {
    const CatalogEntry& armor = at(form.catalog, a);
    whisper(form, armor.name + ": Ac:" + num(armor.ac) + " Speed:" + num(armor.speed) + "  as your armor.");
  }
}

void cmdSkills(Form1& form, const ChatLine& chat) {
  const auto i = speakerRecord(form, chat);
  if (!i) {
    whisper(form, kNoCharecter);
    return;
  }
  const PlayerRecord& r = at(form.roster, *i);
  if (!r.skills.empty()) {
    whisper(form, "You know the following skills...");
    whisper(form, r.skills);
  } else {
    whisper(form, "You have no skills.");
  }
}

void cmdAmount(Form1& form, const ChatLine& chat) {
  // The item as typed behind "/amount ", blanks and letter case kept.
  const std::string item = chat.line.substr(8);
  const auto i = speakerRecord(form, chat);
  if (!i) {
    whisper(form, kNoCharecter);
    return;
  }
  const int32_t n = itemcount(form.roster, item, *i);
  if (n == 0) {
    whisper(form, "You have no " + item + ".");
  } else {
    // The plural "s" is always added, also for one unit.
    whisper(form, "You have " + num(n) + " " + item + "s.");
  }
}

void cmdUseScan(Form1& form, const ChatLine& chat) {
  if (chat.line.size() == 10) {
    whisper(form, "You must say a name.");
    return;
  }
  const auto s = speakerRecord(form, chat);
  if (!s) {
    whisper(form, kNoCharecter);
    return;
  }
  if (itemcount(form.roster, "scan", *s) == 0) {
    whisper(form, "You have no scans.");
    return;
  }
  // The target's name exactly as typed, letter case and blanks included.
  const std::string name = chat.line.substr(10);
  const int16_t t = userpos(form.roster, name);
  if (t == kNoPlayer) {
    whisper(form, "There is no one by that name.");
    return;
  }
  whisperStatistics(form, name, at(form.roster, t));
  // Counting ignores letter case but removing does not: a scan stored as
  // "Scan" is counted above and stays in the inventory here.
  removeitem(form.roster, "scan", *s);
  savestats(form);
}

void cmdCommands(Form1& form, const ChatLine&) {
  for (std::string_view line : kPlayerHelp) whisper(form, line);
}

void cmdAdminCommands(Form1& form, const ChatLine&) {
  for (std::string_view line : kAdminHelp) whisper(form, line);
}

void cmdObjectNumber(Form1& form, const ChatLine& chat) {
  auto& watchers = form.objectNumberWatchers;
  std::optional<std::size_t> free;
  for (std::size_t j = 0; j < watchers.size(); ++j) {
    if (watchers[j] == chat.speaker) {
      watchers[j].clear();
      return;
    }
    if (watchers[j].empty() && !free) free = j;
  }
  // When all slots hold other names the mode cannot be switched on; the
  // list is left as it is and, as for every toggle, nothing is said.
  if (free) watchers[*free] = chat.speaker;
}

}  // namespace kelva::chat
