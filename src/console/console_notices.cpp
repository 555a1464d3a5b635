#include "console/console_notices.h"

#include "console/console_actions.h"
#include "data/checked.h"
#include "data/numbers.h"
#include "data/player_record.h"
#include "state/form1.h"

namespace kelva::console {

namespace {

std::string noCharacter(const Form1& form, const std::string& name) {
  std::string notice = "no character is named " + name;
  // Guests' characters carry their quotes; an operator typing the bare name
  // is told the name the roster holds.
  if (userpos(form.roster, "\"" + name + "\"") != kNoPlayer) notice += " (the guest is named \"" + name + "\")";
  return notice;
}

}  // namespace

std::optional<std::string> selectNotice(const Form1& form, const std::string& name) {
  if (userpos(form.roster, name) != kNoPlayer) return std::nullopt;
  return noCharacter(form, name) + "; \"Change\" will do nothing";
}

std::optional<std::string> boxNotice(const std::string& box, const std::string& text) {
  if (readLeadingNumber(text)) return std::nullopt;
  return box + " does not start with a number; \"Change\" will count it as 0";
}

std::optional<std::string> changeNotice(const Form1& form) {
  const ConsoleModel& console = form.console;
  if (!namePicked(console)) return "no name is picked; \"Change\" did nothing";
  const std::string& name = console.Combo1Text;
  const int16_t i = userpos(form.roster, name);
  if (i == kNoPlayer) return noCharacter(form, name) + "; \"Change\" did nothing";
  if (!fitsLongWhenRounded(leadingValue(console.Text2)) || !fitsLongWhenRounded(leadingValue(console.Text3))) {
    return "Text2 or Text3 is beyond what a character can hold; \"Change\" did nothing";
  }
  const PlayerRecord& record = at(form.roster, i);
  const auto& picked = console.pickedValues;
  if (!picked || ((*picked)[0] == record.exp && (*picked)[1] == record.gold)) return std::nullopt;
  return name + " has " + num(record.exp) + " exp and " + num(record.gold) + " gp now, not the " + num((*picked)[0]) +
          " and " + num((*picked)[1]) + " picked; \"Change\" writes back the boxes as they stand";
}

}  // namespace kelva::console
