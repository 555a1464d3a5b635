// Catalogue administration from chat: looking up armour and weapon ids, adding
// to the armour and weapon catalogue, and registering world objects in their
// game roles.
//
// The adding commands trust their input, as the administrators' help text
// warns. A malformed line (a missing comma, a word where a number belongs, a
// number too large for its field, a full table) raises GameError part-way;
// the dispatcher ends the line quietly. An item or skill name holding "!",
// which the players' lists in the stats file cannot carry, is malformed too
// and stores nothing. Every field is cut before anything is stored, but
// numbers are converted only when they are compared or stored, in the stated
// order, so a failure half-way keeps what was stored before it in memory
// while the file keeps its last saved state.
#include "chat/catalog_commands.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "data/checked.h"
#include "data/data_lines.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::chat {

namespace {

void whisper(Form1& form, const std::string& text) { form.sdk.Whisper(form.sdk.ChatSession, text); }

// The argument behind a keyword and its one separating character: the line
// from character `first` (1-based) on, empty when the line is shorter.
std::string_view argumentFrom(const ChatLine& chat, std::size_t first) {
  const std::string_view line = chat.line;
  return first - 1 < line.size() ? line.substr(first - 1) : std::string_view();
}

// Takes the next comma-separated field off the front of `rest`; a missing
// comma is a malformed line.
std::string_view takeField(std::string_view& rest) {
  std::string_view field;
  if (!cutField(rest, ',', field)) {
    throw GameError(GameErrorKind::kTypeMismatch, "a comma-separated field is missing");
  }
  return field;
}

// The id of a look-up is the leading number of the argument, compared as it
// was read: a fraction or a number beyond any id matches no entry.
bool idMatches(const std::optional<NumberText>& wanted, int32_t id) {
  if (!wanted) return id == 0;  // no number reads as 0
  if (wanted->fraction.find_first_not_of('0') != std::string::npos) return false;
  const auto whole = roundHalfEven(*wanted);
  return whole && *whole == id;
}

void lookUp(Form1& form, const ChatLine& chat, std::size_t first, int16_t kind) {
  const auto wanted = readLeadingNumber(argumentFrom(chat, first));
  for (int i = 0; i <= form.lastCatalogIndex; ++i) {
    const CatalogEntry& e = at(form.catalog, i);
    if (idMatches(wanted, e.id) && e.kind == kind) {
      whisper(form, e.name);
      return;
    }
  }
  whisper(form, "NONE!");
}

// The slot for a new entry of a table whose highest used index is `last`.
// A full table fails the command without taking a slot: raising the index
// past the end would leave the table unsaveable.
template <typename Table>
int16_t takeNewSlot(const Table& table, int16_t& last) {
  const int64_t slot = int64_t{last} + 1;
  if (slot >= static_cast<int64_t>(table.size())) {
    throw GameError(GameErrorKind::kSubscriptOutOfRange, "the table is full");
  }
  last = static_cast<int16_t>(slot);
  return last;
}

}  // namespace

void cmdArmorId(Form1& form, const ChatLine& chat) { lookUp(form, chat, 9, kArmorKind); }

void cmdWeaponId(Form1& form, const ChatLine& chat) { lookUp(form, chat, 10, kWeaponKind); }

void cmdArweadd(Form1& form, const ChatLine& chat) {
  std::string_view rest = argumentFrom(chat, 9);
  const std::string_view kindWord = takeField(rest);
  int16_t kind;
  if (kindWord == "armor") {
    kind = kArmorKind;
  } else if (kindWord == "weapon") {
    kind = kWeaponKind;
  } else {
    return;
  }
  // armour: ac, speed, id, cost, name; weapon: strength, speed, id, cost, name.
  const std::string_view bonus = takeField(rest);
  const std::string_view speed = takeField(rest);
  const std::string_view id = takeField(rest);
  const std::string_view cost = takeField(rest);
  const std::string_view name = rest;  // the rest of the line, commas included

  // The last entry with this id and kind is replaced in place; otherwise the
  // entry is new. The id is converted only when an entry is compared.
  std::optional<int> slot;
  for (int i = 0; i <= form.lastCatalogIndex; ++i) {
    const CatalogEntry& e = at(form.catalog, i);
    if (e.id == strictLong(id) && e.kind == kind) slot = i;
  }
  if (!slot) slot = takeNewSlot(form.catalog, form.lastCatalogIndex);

  // The field of the other kind (strength of an armour, ac of a weapon) keeps
  // its previous value.
  CatalogEntry& e = at(form.catalog, *slot);
  if (kind == kArmorKind) {
    e.ac = strictLong(bonus);
  } else {
    e.strength = strictLong(bonus);
  }
  e.kind = kind;
  e.cost = strictLong(cost);
  e.speed = strictLong(speed);
  e.id = strictLong(id);
  e.name = std::string(name);

  savearwe(form);
  whisper(form, kind == kArmorKind ? "Armor added." : "Weapon added.");
}

namespace {

// The fields of one OBJADD line, cut before anything is stored. Which of them
// a role uses, and in what order they are cut and stored, is the role's.
struct ObjaddFields {
  std::string_view name, minLevel, cost, clan, ac, cha, hpfull, mpfull, shroomtype, speed, str, hp, gp,
      exp, id, objectNumber;
};

// Stores the role's fields into `d` in the role's order; each numeric field
// is converted as it is stored, so a failure keeps the earlier stores.
using StoreFields = void (*)(ObjectDefinition& d, const ObjaddFields& f, std::string_view role);
// Cuts the role's fields off `rest`, the object number last.
using CutFields = void (*)(std::string_view& rest, ObjaddFields& f);

struct RoleRow {
  std::string_view word;
  CutFields cut;
  StoreFields store;
  // The reply; for a monster it is the monster's name followed by this text.
  std::string_view reply;
  bool replyStartsWithName;
};

void storeNumberAndRole(ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
  d.objectNumber = strictLong(f.objectNumber);
  d.role = std::string(role);
}

constexpr std::array<RoleRow, 10> kRoles{{
    {"skill",
     [](std::string_view& r, ObjaddFields& f) {
       f.name = takeField(r);
       f.minLevel = takeField(r);
       f.cost = takeField(r);
       f.clan = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.name = std::string(f.name);
       d.stat4 = strictLong(f.cost);
       d.param = strictLong(f.minLevel);
       d.tag = std::string(f.clan);
       storeNumberAndRole(d, f, role);
     },
     "Skill was added.", false},
    {"clan",
     [](std::string_view& r, ObjaddFields& f) {
       f.name = takeField(r);
       f.minLevel = takeField(r);
       f.ac = takeField(r);
       f.cha = takeField(r);
       f.hpfull = takeField(r);
       f.mpfull = takeField(r);
       f.shroomtype = takeField(r);
       f.speed = takeField(r);
       f.str = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.acBonus = strictInteger(f.ac);
       d.stat1 = strictLong(f.hpfull);
       d.stat2 = strictLong(f.speed);
       d.stat3 = strictLong(f.str);
       d.tag = std::string(f.shroomtype);
       d.stat5 = strictLong(f.mpfull);
       d.stat4 = strictLong(f.cha);
       d.name = std::string(f.name);
       d.param = strictLong(f.minLevel);
       storeNumberAndRole(d, f, role);
     },
     "Clan was added.", false},
    {"item",
     [](std::string_view& r, ObjaddFields& f) {
       f.name = takeField(r);
       f.cost = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.name = std::string(f.name);
       d.param = strictLong(f.cost);
       storeNumberAndRole(d, f, role);
     },
     "Item was added.", false},
    {"battle",
     [](std::string_view& r, ObjaddFields& f) {
       f.hp = takeField(r);
       f.speed = takeField(r);
       f.str = takeField(r);
       f.name = takeField(r);
       f.gp = takeField(r);
       f.exp = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.stat2 = strictLong(f.speed);
       d.stat5 = strictLong(f.exp);
       d.stat4 = strictLong(f.gp);
       d.stat1 = strictLong(f.hp);
       d.name = std::string(f.name);
       d.objectNumber = strictLong(f.objectNumber);
       d.stat3 = strictLong(f.str);
       d.role = std::string(role);
     },
     " was added as a battle.", true},
    {"heal",
     [](std::string_view& r, ObjaddFields& f) {
       f.cost = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.param = strictLong(f.cost);
       storeNumberAndRole(d, f, role);
     },
     "Heal was added.", false},
    {"hppotion",
     [](std::string_view& r, ObjaddFields& f) {
       f.cost = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.objectNumber = strictLong(f.objectNumber);
       d.param = strictLong(f.cost);
       d.role = std::string(role);
     },
     "HP Potion was added.", false},
    {"armor",
     [](std::string_view& r, ObjaddFields& f) {
       f.id = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.param = strictLong(f.id);
       storeNumberAndRole(d, f, role);
     },
     "Armor was added.", false},
    {"weapon",
     [](std::string_view& r, ObjaddFields& f) {
       f.id = takeField(r);
       f.objectNumber = r;
     },
     [](ObjectDefinition& d, const ObjaddFields& f, std::string_view role) {
       d.param = strictLong(f.id);
       storeNumberAndRole(d, f, role);
     },
     "Weapon was added.", false},
    {"sellarmor", [](std::string_view& r, ObjaddFields& f) { f.objectNumber = r; }, storeNumberAndRole,
     "Sell Armor was added.", false},
    {"sellweapon", [](std::string_view& r, ObjaddFields& f) { f.objectNumber = r; }, storeNumberAndRole,
     "Sell Weapon was added.", false},
}};

}  // namespace

void cmdObjadd(Form1& form, const ChatLine& chat) {
  std::string_view rest = argumentFrom(chat, 8);
  const std::string_view roleWord = takeField(rest);
  const RoleRow* role = nullptr;
  for (const RoleRow& row : kRoles) {
    if (row.word == roleWord) {
      role = &row;
      break;
    }
  }
  if (!role) return;

  ObjaddFields fields;
  role->cut(rest, fields);
  if (nameBreaksPlayerLists(role->word, fields.name)) {
    throw GameError(GameErrorKind::kTypeMismatch, "an item or skill name holds \"!\"");
  }

  // The last definition of this object number is replaced in place;
  // otherwise the definition is new. The number is converted only when a
  // definition is compared.
  //
  // An object number of 0 is taken as typed, although the help text forbids
  // it: such a definition marks an unused slot and is simply not saved, so
  // it harms no registered object.
  std::optional<int> slot;
  for (int i = 0; i <= form.lastObjectIndex; ++i) {
    if (at(form.objectDefinitions, i).objectNumber == strictLong(fields.objectNumber)) slot = i;
  }
  if (!slot) slot = takeNewSlot(form.objectDefinitions, form.lastObjectIndex);

  role->store(at(form.objectDefinitions, *slot), fields, role->word);

  saveobjects(form);
  whisper(form, role->replyStartsWithName ? std::string(fields.name) + std::string(role->reply)
                                          : std::string(role->reply));
}

}  // namespace kelva::chat
