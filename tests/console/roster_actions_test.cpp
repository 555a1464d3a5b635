#include "console/roster_actions.h"

#include <gtest/gtest.h>

#include <set>

#include "console/console_actions.h"
#include "data/stats_file.h"
#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

using console::removeOfflineGuests;
using console::renameGuestCharacter;

class RunningRoster : public ::testing::Test {
 protected:
  // Characters listed in the picker as the stats loader lists them.
  void given(const std::string& name, int32_t level = 1) {
    g.givenPlayer(name).withLevel(level);
    g.form->console.addCombo1(name);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (int16_t i = 0; i < g.form->playerCount; ++i) out.push_back(g.form->roster[i].name);
    return out;
  }
  console::IsOnline online() const {
    return [this](const std::string& n) { return here.count(n) > 0; };
  }

  GameFixture g;
  std::set<std::string> here;
};

TEST_F(RunningRoster, RenameIsOnDiskAndInThePickerWhenItSucceeds) {
  given("Kaya");
  given("\"mira\"", 7);
  given("Rolf");
  console::selectCombo1(*g.form, "\"mira\"");
  ASSERT_TRUE(renameGuestCharacter(*g.form, "\"mira\"", "mira", online()).isOk());
  EXPECT_EQ(names(), (std::vector<std::string>{"Kaya", "mira", "Rolf"}));
  EXPECT_EQ(g.form->roster[1].level, 7);
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 3));
  EXPECT_NE(g.statsFile().find("mira,7,"), std::string::npos);
  EXPECT_EQ(g.form->console.Combo1, (std::vector<std::string>{"Kaya", "mira", "Rolf"}));
  // The old name was picked: nothing is picked now, so "Change" cannot act
  // on a name that has no character.
  EXPECT_EQ(g.form->console.Combo1Text, console::kCombo1Placeholder);
  EXPECT_FALSE(g.form->console.pickedValues);
}

TEST_F(RunningRoster, RenameRefusalsChangeNothing) {
  given("\"mira\"");
  given("mira");
  given("\"ann\"");
  given("\"bob\"");
  g.form->battles[3].name1 = "\"bob\"";
  g.form->battles[3].kind = "battle";
  here.insert("\"ann\"");
  const auto before = names();
  EXPECT_FALSE(renameGuestCharacter(*g.form, "\"mira\"", "mira", online()).isOk());  // already has one
  EXPECT_FALSE(renameGuestCharacter(*g.form, "\"ann\"", "ann", online()).isOk());    // online
  EXPECT_FALSE(renameGuestCharacter(*g.form, "\"bob\"", "bob", online()).isOk());    // in a battle
  EXPECT_EQ(names(), before);
  EXPECT_EQ(g.statsFile(), "");
  // The disk refuses: the roster stays as the disk has it.
  g.files.failWrite = [](const std::string&) { return true; };
  const Status failed = renameGuestCharacter(*g.form, "\"mira\"", "Mira", online());
  EXPECT_FALSE(failed.isOk());
  EXPECT_NE(failed.message().find("nothing was changed"), std::string::npos) << failed.message();
  EXPECT_EQ(names(), before);
  EXPECT_EQ(g.form->console.Combo1, before);
  g.files.failWrite = nullptr;
  // The next save writes the roster as it is, without the refused rename.
  EXPECT_TRUE(renameGuestCharacter(*g.form, "\"ann\"", "Ann", [](const std::string&) { return false; }).isOk());
  EXPECT_EQ(g.statsFile().find("Mira"), std::string::npos);
}

TEST_F(RunningRoster, RemovesOnlyOfflineGuestsClosingTheGapsInOrder) {
  given("\"a\"");
  given("Kaya", 3);
  given("\"b\"");
  given("\"c\"");
  given("Rolf");
  given("\"d\"");  // the last slot in use
  here.insert("\"c\"");
  console::selectCombo1(*g.form, "Rolf");
  const Result<std::size_t> removed = removeOfflineGuests(*g.form, online());
  ASSERT_TRUE(removed.isOk()) << removed.status().message();
  EXPECT_EQ(removed.value(), 3u);
  EXPECT_EQ(names(), (std::vector<std::string>{"Kaya", "\"c\"", "Rolf"}));
  EXPECT_EQ(g.form->roster[0].level, 3);
  EXPECT_EQ(g.form->roster[3].name, "");
  EXPECT_EQ(g.statsFile(), formatStatsFile(g.form->roster, 3));
  EXPECT_EQ(g.form->console.Combo1, names());
  EXPECT_EQ(g.form->console.Combo1Text, "Rolf");
  EXPECT_EQ(g.form->console.Combo1Selected, std::optional<std::size_t>(2));
  // Nothing left to remove: nothing written.
  g.files.failWrite = [](const std::string&) { return true; };
  EXPECT_EQ(removeOfflineGuests(*g.form, online()).value(), 0u);
}

TEST_F(RunningRoster, RemovalIsRefusedDuringABattleOrWhenTheDiskRefuses) {
  given("\"a\"");
  given("Kaya");
  given("\"b\"");
  g.form->battles[kBattleSlots - 1].name1 = "Kaya";
  EXPECT_FALSE(removeOfflineGuests(*g.form, online()).isOk());
  EXPECT_EQ(g.form->playerCount, 3);
  g.form->battles[kBattleSlots - 1].name1.clear();
  g.files.failWrite = [](const std::string&) { return true; };
  EXPECT_FALSE(removeOfflineGuests(*g.form, online()).isOk());
  EXPECT_EQ(names(), (std::vector<std::string>{"\"a\"", "Kaya", "\"b\""}));
  EXPECT_EQ(g.form->console.Combo1, names());
}

}  // namespace
}  // namespace kelva::testing
