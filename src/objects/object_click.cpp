#include "objects/object_click.h"

#include <array>
#include <exception>
#include <iostream>
#include <string_view>

#include "data/checked.h"
#include "data/numbers.h"
#include "objects/clans.h"
#include "objects/click.h"
#include "objects/monsters.h"
#include "objects/shops.h"
#include "objects/shrooms.h"
#include "state/form1.h"

namespace kelva::objects {

namespace {

using RoleHandler = void (*)(Form1&, const ObjectClick&, const ObjectDefinition&, int16_t);

struct RoleRow {
  std::string_view role;
  RoleHandler handler;
};

// The roles a registered object can play, tried in this order with exact,
// case-sensitive comparison. A definition with any other role does nothing.
constexpr std::array<RoleRow, 10> kRoles{{
    {"battle", monsterBattle},
    {"heal", shopHeal},
    {"hppotion", shopHpPotion},
    {"item", shopItem},
    {"armor", shopArmor},
    {"sellarmor", shopSellArmor},
    {"sellweapon", shopSellWeapon},
    {"weapon", shopWeapon},
    {"clan", clanHall},
    {"skill", skillTeacher},
}};

// Event kind 17 stays switched off for as long as the handler runs, and is
// switched back on however the handler ends, a failure included.
class ObjectClickEventsOff {
 public:
  explicit ObjectClickEventsOff(WorldSdk& sdk) : sdk_(sdk) { sdk_.EventOff(kObjectClickEventKind); }
  ~ObjectClickEventsOff() {
    try {
      sdk_.EventOn(kObjectClickEventKind);
    } catch (const std::exception& e) {
      std::cerr << "kelvabot: switching object clicks back on failed: " << e.what() << "\n";
    } catch (...) {
      std::cerr << "kelvabot: switching object clicks back on failed\n";
    }
  }
  ObjectClickEventsOff(const ObjectClickEventsOff&) = delete;
  ObjectClickEventsOff& operator=(const ObjectClickEventsOff&) = delete;

 private:
  WorldSdk& sdk_;
};

void runRole(Form1& form, const ObjectClick& click, const ObjectDefinition& def) {
  for (const RoleRow& row : kRoles) {
    if (def.role != row.role) continue;
    const int16_t p = userpos(form.roster, click.clicker);
    if (p == kNoPlayer) {
      answer(form, click, kNoCharacter);
      return;
    }
    row.handler(form, click, def, p);
    return;
  }
}

}  // namespace

void objectClick(Form1& form) {
  const ObjectClickEventsOff eventsOff(form.sdk);
  const ObjectClick click{form.sdk.AvatarName, form.sdk.AvatarSession, form.sdk.ObjectNumber};

  // Administrators in object-number mode learn the number of what they
  // click, and the click then goes on as anyone else's.
  for (const std::string& watcher : form.objectNumberWatchers) {
    if (watcher == click.clicker) {
      answer(form, click, num(click.objectNumber));
      break;
    }
  }

  // The first definition with the number claims the click; a registered
  // object is never a shroom, whatever its model.
  for (int j = 0; j <= form.lastObjectIndex; ++j) {
    const ObjectDefinition& def = at(form.objectDefinitions, j);
    if (def.objectNumber == click.objectNumber) {
      const ObjectDefinition claimed = def;
      runRole(form, click, claimed);
      return;
    }
  }
  shroomClick(form, click);
}

}  // namespace kelva::objects
