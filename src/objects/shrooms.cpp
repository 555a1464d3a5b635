#include "objects/shrooms.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "data/checked.h"
#include "data/numbers.h"
#include "persist/persistence.h"
#include "persist/shroom_change.h"
#include "state/form1.h"

namespace kelva::objects {

namespace {

// A shroom's kind and size are read from its model name: an "e" anywhere
// makes it evil, a "1" anywhere makes it small.
bool isEvilShroom(std::string_view model) { return model.find('e') != std::string_view::npos; }

int32_t shroomMagicPoints(std::string_view model) { return model.find('1') != std::string_view::npos ? 5 : 10; }

// The action that makes a picked shroom invisible and passable.
constexpr const char* kPickedShroomAction = "create solid no,visible no";

}  // namespace

void shroomClick(Form1& form, const ObjectClick& click) {
  const ShroomEntry* found = nullptr;
  for (int k = 0; k <= form.lastShroomIndex; ++k) {
    const ShroomEntry& e = at(form.shroomCache, k);
    if (e.number == click.objectNumber) {
      found = &e;
      break;
    }
  }
  if (found == nullptr) return;
  const ShroomEntry shroom = *found;

  const int16_t p = userpos(form.roster, click.clicker);
  if (p == kNoPlayer) {
    answer(form, click, kNoCharacter);
    return;
  }
  PlayerRecord& P = at(form.roster, p);
  if (P.shroomType.empty()) {
    answer(form, click, "You cannot collect Magic Shrooms.");
    return;
  }
  if (P.shroomType != (isEvilShroom(shroom.model) ? "evil" : "good")) {
    answer(form, click, "You cannot collect this type of Magic Shrooms.");
    return;
  }
  int32_t amount = shroomMagicPoints(shroom.model);
  const int32_t room = subLong(P.maxMp, P.mp);
  if (room < amount) amount = room;
  if (amount <= 0) {
    answer(form, click, "You cannot collect anymore Magic Shrooms.");
    return;
  }
  P.mp = addLong(P.mp, amount);
  savestats(form);

  // Hide the shroom where it stands, invisible and passable.
  changeShroomObject(form.sdk, shroom, shroom.model, kPickedShroomAction);

  answer(form, click, "You collected " + num(amount) + "mp from that magic shroom.");
}

}  // namespace kelva::objects
