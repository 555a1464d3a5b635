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
#include <type_traits>
#include <variant>
#include <vector>

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

// Where one field of an OBJADD line goes in the definition; the kind of
// member says how its text is read (a text as typed, a long, an integer).
using Target = std::variant<std::string ObjectDefinition::*, int32_t ObjectDefinition::*, int16_t ObjectDefinition::*>;

struct ObjaddField {
  Target target;
  // When it is stored (1 first). Each numeric field is converted as it is
  // stored, so a failure keeps the stores before it; the order is the role's.
  int storedAs;
};

// A role's fields in the order they are cut off the line, comma-separated;
// the last is the object number, the rest of the line. The role's word is
// stored after them all.
struct RoleRow {
  std::string_view word;
  std::vector<ObjaddField> fields;
  // The reply; for a monster it is the monster's name followed by this text.
  std::string_view reply;
  bool replyStartsWithName;
};

using D = ObjectDefinition;

const std::array<RoleRow, 10>& roles() {
  static const std::array<RoleRow, 10> table{{
      // name, minimum level, cost, clan, number
      {"skill", {{&D::name, 1}, {&D::param, 3}, {&D::stat4, 2}, {&D::tag, 4}, {&D::objectNumber, 5}},
       "Skill was added.", false},
      // name, minimum level, ac, cha, hpfull, mpfull, shroomtype, speed, str, number
      {"clan",
       {{&D::name, 8}, {&D::param, 9}, {&D::acBonus, 1}, {&D::stat4, 7}, {&D::stat1, 2}, {&D::stat5, 6},
        {&D::tag, 5}, {&D::stat2, 3}, {&D::stat3, 4}, {&D::objectNumber, 10}},
       "Clan was added.", false},
      // name, cost, number
      {"item", {{&D::name, 1}, {&D::param, 2}, {&D::objectNumber, 3}}, "Item was added.", false},
      // hp, speed, str, name, gp, exp, number
      {"battle",
       {{&D::stat1, 4}, {&D::stat2, 1}, {&D::stat3, 7}, {&D::name, 5}, {&D::stat4, 3}, {&D::stat5, 2},
        {&D::objectNumber, 6}},
       " was added as a battle.", true},
      // cost, number
      {"heal", {{&D::param, 1}, {&D::objectNumber, 2}}, "Heal was added.", false},
      {"hppotion", {{&D::param, 2}, {&D::objectNumber, 1}}, "HP Potion was added.", false},
      // catalog id, number
      {"armor", {{&D::param, 1}, {&D::objectNumber, 2}}, "Armor was added.", false},
      {"weapon", {{&D::param, 1}, {&D::objectNumber, 2}}, "Weapon was added.", false},
      {"sellarmor", {{&D::objectNumber, 1}}, "Sell Armor was added.", false},
      {"sellweapon", {{&D::objectNumber, 1}}, "Sell Weapon was added.", false},
  }};
  return table;
}

void store(ObjectDefinition& d, const ObjaddField& field, std::string_view text) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(d.*member)>;
        if constexpr (std::is_same_v<T, std::string>) {
          d.*member = std::string(text);
        } else if constexpr (std::is_same_v<T, int16_t>) {
          d.*member = strictInteger(text);
        } else {
          d.*member = strictLong(text);
        }
      },
      field.target);
}

}  // namespace

void cmdObjadd(Form1& form, const ChatLine& chat) {
  std::string_view rest = argumentFrom(chat, 8);
  const std::string_view roleWord = takeField(rest);
  const RoleRow* role = nullptr;
  for (const RoleRow& row : roles()) {
    if (row.word == roleWord) {
      role = &row;
      break;
    }
  }
  if (!role) return;

  // Every field is cut before anything is stored: a missing comma changes nothing.
  std::vector<std::string_view> texts;
  for (std::size_t i = 0; i + 1 < role->fields.size(); ++i) texts.push_back(takeField(rest));
  texts.push_back(rest);
  std::string_view name;
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (role->fields[i].target == Target(&D::name)) name = texts[i];
  const std::string_view number = texts.back();
  if (nameBreaksPlayerLists(role->word, name)) {
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
    if (at(form.objectDefinitions, i).objectNumber == strictLong(number)) slot = i;
  }
  if (!slot) slot = takeNewSlot(form.objectDefinitions, form.lastObjectIndex);

  ObjectDefinition& d = at(form.objectDefinitions, *slot);
  for (int order = 1; order <= static_cast<int>(texts.size()); ++order)
    for (std::size_t i = 0; i < texts.size(); ++i)
      if (role->fields[i].storedAs == order) store(d, role->fields[i], texts[i]);
  d.role = std::string(role->word);

  saveobjects(form);
  whisper(form, role->replyStartsWithName ? std::string(name) + std::string(role->reply)
                                          : std::string(role->reply));
}

}  // namespace kelva::chat
