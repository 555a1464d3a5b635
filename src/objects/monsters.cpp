#include "objects/monsters.h"

#include "combat/battle_table.h"
#include "data/checked.h"
#include "state/form1.h"

namespace kelva::objects {

void monsterBattle(Form1& form, const ObjectClick& click, const ObjectDefinition& def, int16_t p) {
  if (at(form.roster, p).hp == 0) {
    answer(form, click, "You can't battle when you are dead.");
    return;
  }
  // The object itself never changes: each click fights a new monster with
  // the definition's full hit points.
  combat::addbattle(form, /*eedex=*/def.stat2, /*eehp=*/def.stat1, /*eename=*/def.name, /*eestr=*/def.stat3,
                    /*egexp=*/def.stat5, /*eggp=*/def.stat4, click.clicker, p, click.session);
}

}  // namespace kelva::objects
