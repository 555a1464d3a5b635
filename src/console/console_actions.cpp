#include "console/console_actions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "data/checked.h"
#include "data/numbers.h"
#include "data/player_record.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::console {


double leadingValue(const std::string& text) {
  const auto number = readLeadingNumber(text);
  return number ? toDouble(*number) : 0.0;
}

bool fitsLongWhenRounded(double v) {
  if (std::isnan(v)) return false;
  const double r = std::nearbyint(v);
  return r >= static_cast<double>(INT32_MIN) && r <= static_cast<double>(INT32_MAX);
}

bool namePicked(const ConsoleModel& console) {
  return console.Combo1Selected || console.Combo1Text != kCombo1Placeholder;
}

void selectCombo1(Form1& form, const std::string& name) {
  ConsoleModel& console = form.console;
  console.Combo1Text = name;
  // A name that is not in the list is kept as the picker's text without a
  // list position, like a name typed into the combo box; "Change" still acts
  // on it.
  const auto it = std::find(console.Combo1.begin(), console.Combo1.end(), name);
  console.Combo1Selected = it == console.Combo1.end()
                               ? std::nullopt
                               : std::optional<std::size_t>(static_cast<std::size_t>(it - console.Combo1.begin()));
  console.pickedValues.reset();
  const int16_t i = userpos(form.roster, name);
  if (i == kNoPlayer) return;
  const PlayerRecord& record = at(form.roster, i);
  console.pickedValues = std::array<int32_t, 2>{record.exp, record.gold};
  console.writeText2(num(record.exp));
  console.writeText3(num(record.gold));
}

void pressCommand1(Form1& form) {
  ConsoleModel& console = form.console;
  // Nothing picked yet: the button does nothing (rather than looking up the
  // placeholder text as a name).
  if (!namePicked(console)) return;
  const std::string name = console.Combo1Text;
  const int16_t i = userpos(form.roster, name);
  if (i == kNoPlayer) return;
  PlayerRecord& record = at(form.roster, i);

  const double e = leadingValue(console.Text2);
  const double g = leadingValue(console.Text3);
  // A value that cannot be stored as a long is refused whole, before the
  // announcement: nothing is said and the record keeps its values, so the
  // public gift line never promises what was not given.
  if (!fitsLongWhenRounded(e) || !fitsLongWhenRounded(g)) return;

  const std::string gift = "A special gift of " + shortestDecimal(e - record.exp) + "exp and " +
                           shortestDecimal(g - record.gold) + "gp was given to " + name + ".";
  form.sdk.Say(gift);
  record.exp = roundToLong(e);
  record.gold = roundToLong(g);
  savestats(form);
  form.activityLog->record("console: " + gift);
}

}  // namespace kelva::console
