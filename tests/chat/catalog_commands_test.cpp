#include "chat/catalog_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

class CatalogCommands : public ::testing::Test {
 protected:
  CatalogCommands() { g.givenAdmin("Boss"); }
  Lines say(const std::string& line) {
    g.chat("Boss", 3, line);
    return g.takeCalls();
  }
  GameFixture g;
};

TEST_F(CatalogCommands, LookUpReadsTheIdAsANumber) {
  g.givenCatalogEntry({"Mail", 3, 0, 10, 1, 7, 0});
  g.givenCatalogEntry({"Plate", 5, 0, 10, 1, 7, 0});
  EXPECT_EQ(say("armorid 7.0"), Lines{"whisper 3 Mail"});
  EXPECT_EQ(say("armorid 7 and more"), Lines{"whisper 3 Mail"});
  EXPECT_EQ(say("armorid 99999999999"), Lines{"whisper 3 NONE!"});
  EXPECT_EQ(say("armorid "), Lines{"whisper 3 NONE!"});
}

TEST_F(CatalogCommands, ArweaddReplacesInPlaceAndAWeaponKeepsTheArmourClass) {
  for (int id = 1; id <= 4; ++id) g.givenCatalogEntry({"Old" + std::to_string(id), 1, 1, 1, 1, id, 0});
  EXPECT_EQ(say("arweadd armor,5,1,12,100,Iron Mail"), Lines{"whisper 3 Armor added."});
  EXPECT_EQ(g.form->lastCatalogIndex, 4);
  EXPECT_EQ(say("arweadd armor,6,-2,12,2.5,Iron Mail, polished"), Lines{"whisper 3 Armor added."});
  EXPECT_EQ(g.form->lastCatalogIndex, 4);
  EXPECT_EQ(g.form->catalog[4], (CatalogEntry{"Iron Mail, polished", 6, -2, 2, 1, 12, 0}));

  EXPECT_EQ(say("arweadd weapon, 4 ,1,12,30,Axe"), Lines{"whisper 3 Weapon added."});
  EXPECT_EQ(g.form->lastCatalogIndex, 5);
  g.form->catalog[5].ac = 9;
  EXPECT_EQ(say("arweadd weapon,5,1,12,30,Axe"), Lines{"whisper 3 Weapon added."});
  EXPECT_EQ(g.form->catalog[5], (CatalogEntry{"Axe", 9, 1, 30, 0, 12, 5}));
}

TEST_F(CatalogCommands, ArweaddFailingKeepsEarlierStoresButWritesNoFile) {
  g.givenCatalogEntry({"Mail", 3, 0, 10, 1, 7, 0});
  EXPECT_EQ(say("arweadd armor,5,1,12,lots,Iron Mail"), Lines{});
  EXPECT_EQ(g.form->catalog[1], (CatalogEntry{"", 5, 0, 0, 1, 0, 0}));
  // A bad id fails while the entries are compared, before anything changes.
  EXPECT_EQ(say("arweadd armor,5,1,x,100,Iron Mail"), Lines{});
  EXPECT_EQ(say("arweadd armor,5,1,12"), Lines{});
  EXPECT_EQ(say("arweadd armor,99999999999,1,13,100,Big"), Lines{});
  EXPECT_EQ(g.form->lastCatalogIndex, 2);
  EXPECT_EQ(g.form->catalog[2], CatalogEntry{});
  EXPECT_EQ(g.file("armor~weapon.txt"), "");
}

TEST_F(CatalogCommands, AFullCatalogueTakesNoNewEntry) {
  for (int i = 0; i <= 500; ++i) g.givenCatalogEntry({"Thing", 0, 0, 1, 1, i + 1, 0});
  EXPECT_EQ(say("arweadd armor,5,1,9999,100,One Too Many"), Lines{});
  EXPECT_EQ(g.form->lastCatalogIndex, 500);
  // Replacing an existing entry still works.
  EXPECT_EQ(say("arweadd armor,5,1,501,100,Last"), Lines{"whisper 3 Armor added."});
  EXPECT_EQ(g.form->catalog[500].name, "Last");
}

TEST_F(CatalogCommands, ObjaddRegistersEachRoleWithItsReplyAndFields) {
  EXPECT_EQ(say("objadd skill,Fireball,5,100,Red Hand,78"), Lines{"whisper 3 Skill was added."});
  EXPECT_EQ(g.form->objectDefinitions[0],
            (ObjectDefinition{"Fireball", 0, 0, 0, 100, 0, "skill", 5, 78, "Red Hand", 0}));

  const std::vector<std::pair<std::string, std::string>> others = {
      {"objadd item,scan,15,79", "Item was added."},        {"objadd heal,20,80", "Heal was added."},
      {"objadd hppotion,7,81", "HP Potion was added."},     {"objadd armor,12,82", "Armor was added."},
      {"objadd weapon,13,83", "Weapon was added."},         {"OBJADD sellweapon,85", "Sell Weapon was added."},
  };
  for (const auto& [line, reply] : others) EXPECT_EQ(say(line), Lines{"whisper 3 " + reply}) << line;
  EXPECT_EQ(g.form->lastObjectIndex, 6);
  EXPECT_EQ(g.form->objectDefinitions[1], (ObjectDefinition{"scan", 0, 0, 0, 0, 0, "item", 15, 79, "", 0}));
  EXPECT_EQ(g.form->objectDefinitions[3].param, 7);
  EXPECT_EQ(g.form->objectDefinitions[5].param, 13);
  EXPECT_EQ(g.form->objectDefinitions[6].role, "sellweapon");
}

TEST_F(CatalogCommands, ObjaddReplacesTheLastDefinitionOfTheObjectAndKeepsUnlistedFields) {
  for (int n = 1; n <= 10; ++n) g.givenObject({"", 0, 0, 0, 0, 0, "heal", 5, n, "", 0});
  g.form->objectDefinitions[9].objectNumber = 1;  // object 1 is registered twice
  EXPECT_EQ(say("objadd sellarmor,1"), Lines{"whisper 3 Sell Armor was added."});
  EXPECT_EQ(g.form->lastObjectIndex, 9);
  EXPECT_EQ(g.form->objectDefinitions[0].role, "heal");
  EXPECT_EQ(g.form->objectDefinitions[9].role, "sellarmor");
  EXPECT_EQ(g.form->objectDefinitions[9].param, 5);
}

// Malformed fields fail silently before anything changes; a store that fails
// after a slot was taken keeps that slot and the stores before it. No file
// is written either way.
TEST_F(CatalogCommands, ObjaddFailuresAreSilentAndKeepEarlierStores) {
  g.givenObject({"", 0, 0, 0, 0, 0, "heal", 5, 4711, "", 0});
  const ObjectDefinition before = g.form->objectDefinitions[0];
  for (const char* line : {"objadd heal,20,4711,5", "objadd heal,lots,4711", "objadd sellarmor",
                           "objadd Heal,20,4711", "objadd heal20,4711",
                           // Item and skill names end up in the players' lists, which "!" closes.
                           "objadd item,Elixir!Rare,5,4712", "objadd skill,Fire!,1,5,none,4711"}) {
    EXPECT_EQ(say(line), Lines{}) << line;
  }
  EXPECT_EQ(g.form->objectDefinitions[0], before);
  EXPECT_EQ(g.form->lastObjectIndex, 0);
  // A clan's armour bonus is a 16-bit number: the first store fails.
  EXPECT_EQ(say("objadd clan,Red,5,40000,10,20,30,evil,40,50,77"), Lines{});
  EXPECT_EQ(g.form->lastObjectIndex, 1);
  EXPECT_EQ(g.form->objectDefinitions[1], ObjectDefinition{});
  // The monster's speed, exp, gold and hp are stored before the bad strength.
  EXPECT_EQ(say("objadd battle,50,3,strong,Troll,20,40,1234"), Lines{});
  EXPECT_EQ(g.form->lastObjectIndex, 2);
  EXPECT_EQ(g.form->objectDefinitions[2],
            (ObjectDefinition{"Troll", 50, 3, 0, 20, 40, "", 0, 1234, "", 0}));
  EXPECT_EQ(g.file("objects.txt"), "");
}

}  // namespace
}  // namespace kelva::chat
