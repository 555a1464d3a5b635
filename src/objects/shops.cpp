#include "objects/shops.h"

#include <cmath>
#include <string>

#include "combat/growth.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::objects {

namespace {

constexpr const char* kNotForSale = "That item is not for sale.";

// Armour and weapons are bought and sold the same way; they differ in the
// catalogue kind, the record field that holds the piece, the statistic the
// piece raises and the words of the answers.
struct PieceKind {
  int16_t kind;
  int16_t PlayerRecord::*owned;   // armorId or weaponId
  int32_t PlayerRecord::*raised;  // ac or strength
  int32_t CatalogEntry::*bonus;   // the entry's ac or strength
  const char* alreadyHave;
  const char* nothingToSell;
  const char* soldFor;
};

constexpr PieceKind kArmor{kArmorKind,
                           &PlayerRecord::armorId,
                           &PlayerRecord::ac,
                           &CatalogEntry::ac,
                           "You already have armor.",
                           "You do not have any armor to sell.",
                           "You sold your armor for "};
constexpr PieceKind kWeapon{kWeaponKind,
                            &PlayerRecord::weaponId,
                            &PlayerRecord::strength,
                            &CatalogEntry::strength,
                            "You already have a weapon.",
                            "You do not have any weapon to sell.",
                            "You sold your weapon for "};

// The first catalogue entry with this id and kind, or nullptr. Only the id
// and the kind count: an entry added with an empty name is sold and bought
// back like any other, as /equipment and armorid find it too. When no entry
// matches at all, the shop or buyer refuses rather than trade nothing for
// nothing.
const CatalogEntry* findPiece(const Form1& form, int64_t id, int16_t kind) {
  for (int k = 0; k <= form.lastCatalogIndex; ++k) {
    const CatalogEntry& e = at(form.catalog, k);
    if (e.id == id && e.kind == kind) return &e;
  }
  return nullptr;
}

// What a buyer pays for a used piece bought at `cost`: 80 per cent, the
// fraction dropped (15 gives 12, 1 gives 0).
int32_t refundFor(int32_t cost) { return toLong(static_cast<int64_t>(std::floor(static_cast<double>(cost) * 0.8))); }

// The item shop writes the stats file once more after its answer.
enum class AfterAnswer { kDone, kSaveAgain };

// "hppotion" and "item": the price is `param`; the piece goes into the items.
void sellItem(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p, const std::string& item,
              const std::string& bought, AfterAnswer after) {
  PlayerRecord& P = at(form.roster, p);
  if (def.param > P.gold) {
    answer(form, click, "You do not have enough money.");
    return;
  }
  const int32_t gold = subLong(P.gold, def.param);
  P.gold = gold;
  additem(form.roster, item, p);
  savestats(form);
  answer(form, click, bought);
  if (after == AfterAnswer::kSaveAgain) savestats(form);
  form.activityLog->record(click.clicker + " bought " + item + " for " + num(def.param) + "gp");
}

void buyPiece(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p, const PieceKind& piece) {
  const CatalogEntry* found = findPiece(form, def.param, piece.kind);
  if (found == nullptr) {
    answer(form, click, kNotForSale);
    return;
  }
  const CatalogEntry entry = *found;
  PlayerRecord& P = at(form.roster, p);
  // The price is tested before ownership: a poor owner hears only the price.
  if (entry.cost > P.gold) {
    answer(form, click, "You do not have enough gp.");
    return;
  }
  if (P.*piece.owned != 0) {
    answer(form, click, piece.alreadyHave);
    return;
  }
  const int16_t id = toInteger(entry.id);
  // The piece's bonus goes into the base values between taking the clan
  // bonuses off and putting them back, so the clan percentages apply on top.
  changeWhole(P, [&] {
    combat::clandstats(form, p);
    P.gold = subLong(P.gold, entry.cost);
    P.*piece.owned = id;
    P.*piece.raised = addLong(P.*piece.raised, entry.*piece.bonus);
    P.speed = addLong(P.speed, entry.speed);
    combat::clanastats(form, p);
  });
  answer(form, click, "You bought a " + entry.name + ".");
  savestats(form);
  form.activityLog->record(click.clicker + " bought " + entry.name + " for " + num(entry.cost) + "gp");
}

void sellPiece(Form1& form, const ObjectClick& click, int16_t p, const PieceKind& piece) {
  PlayerRecord& P = at(form.roster, p);
  if (P.*piece.owned == 0) {
    answer(form, click, piece.nothingToSell);
    return;
  }
  const CatalogEntry* found = findPiece(form, P.*piece.owned, piece.kind);
  if (found == nullptr) {
    answer(form, click, kNotForSale);
    return;
  }
  const CatalogEntry entry = *found;
  const int32_t refund = refundFor(entry.cost);
  changeWhole(P, [&] {
    P.gold = addLong(P.gold, refund);
    combat::clandstats(form, p);
    P.*piece.raised = subLong(P.*piece.raised, entry.*piece.bonus);
    P.speed = subLong(P.speed, entry.speed);
    P.*piece.owned = 0;
    combat::clanastats(form, p);
  });
  savestats(form);
  answer(form, click, piece.soldFor + num(refund) + "gp.");
  form.activityLog->record(click.clicker + " sold " + entry.name + " for " + num(refund) + "gp");
}

}  // namespace

void shopHeal(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  // A full heal for the price; the dead are served too.
  combat::heal(form, click.session, click.clicker, def.param, at(form.roster, p).maxHp);
}

void shopHpPotion(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  sellItem(form, click, def, p, "hppotion", "You bought one HP Potion.", AfterAnswer::kDone);
}

void shopItem(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  sellItem(form, click, def, p, def.name, "You bought one " + def.name + ".", AfterAnswer::kSaveAgain);
}

void shopArmor(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  buyPiece(form, click, def, p, kArmor);
}

void shopWeapon(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  buyPiece(form, click, def, p, kWeapon);
}

void shopSellArmor(Form1& form, const ObjectClick& click, const ObjectDefinition&, int16_t p) {
  sellPiece(form, click, p, kArmor);
}

void shopSellWeapon(Form1& form, const ObjectClick& click, const ObjectDefinition&, int16_t p) {
  sellPiece(form, click, p, kWeapon);
}

}  // namespace kelva::objects
