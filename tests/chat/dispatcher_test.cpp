#include "chat/dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

const Lines kAnnStats = {
    "whisper 7 stats: Ann     Level: 1 Gold: 5 HP: 15/15 Clan: none",
    "whisper 7 Race: Human AC:0 Speed:10 Strength:10 Charisma:10/10 Exp: 0/100 MP: 0/0",
};

TEST(ChatDispatch, WholeLineCommandsMatchInAnyCaseButExactly) {
  GameFixture g;
  g.givenPlayer("Ann");
  for (const char* said : {"/stats", "/STATS", "/sTaTs"}) {
    g.chat("Ann", 7, said);
    EXPECT_EQ(g.takeCalls(), kAnnStats) << said;
  }
  for (const char* said : {"/stats ", " /stats", "/ stats", "/stats now", "stats", "", "hello"}) {
    g.chat("Ann", 7, said);
    EXPECT_EQ(g.takeCalls(), Lines{}) << '"' << said << '"';
  }
}

TEST(ChatDispatch, AdministratorIsTheExactNameOfABoxAndIsCheckedForEveryLine) {
  GameFixture g;
  g.form->console.Text1[6] = "Boss";
  g.chat("Boss", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls().size(), 19u);

  for (const char* other : {"boss", "BOSS", " Boss", "Boss "}) {
    g.chat(other, 3, "/admin commands");
    EXPECT_EQ(g.takeCalls(), Lines{}) << '"' << other << '"';
  }

  g.form->console.Text1[6].clear();
  g.chat("Boss", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls(), Lines{});

  // An empty box matches only an empty name.
  g.chat("", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls().size(), 19u);
  for (auto& box : g.form->console.Text1) box = "Boss";
  g.chat("", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls(), Lines{});
}

TEST(ChatDispatch, AdministratorRowsFromOthersChangeNothing) {
  GameFixture g;
  g.givenPlayer("Bob");
  g.givenCatalogEntry({"Mail", 3, 0, 10, 1, 3, 0});
  g.chat("Bob", 7, "/object number");
  g.chat("Bob", 7, "armorid 3");
  g.chat("Bob", 7, "bmessage: let me in");
  g.chat("Bob", 7, "objadd heal,20,4711");
  g.chat("Bob", 7, "arweadd armor,5,1,12,100,Iron Mail");
  EXPECT_EQ(g.takeCalls(), Lines{});
  EXPECT_EQ(g.form->objectNumberWatchers[0], "");
  EXPECT_EQ(g.view.lines, Lines{});
  EXPECT_EQ(g.form->lastObjectIndex, -1);
  EXPECT_EQ(g.form->lastCatalogIndex, 0);
  EXPECT_EQ(g.file("objects.txt"), "");
  EXPECT_EQ(g.file("armor~weapon.txt"), "");
}

TEST(ChatDispatch, PrefixCommandsNeedTheirWholePrefixAndKeepTheArgumentAsTyped) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Boss").withItems("scan,hppotion");
  g.givenPlayer("Ann");
  g.givenCatalogEntry({"Mail", 3, 0, 10, 1, 3, 0});

  // Too short, or no blank where the prefix has one: no command.
  for (const char* said : {"/use scan", "/usescan Ann", "/amount", "armorid3", "weaponid", "bmessage:hi"}) {
    g.chat("Boss", 3, said);
    EXPECT_EQ(g.takeCalls(), Lines{}) << said;
  }
  EXPECT_EQ(g.view.lines, Lines{});

  g.chat("Boss", 3, "/AMOUNT HpPotion");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 3 You have 1 HpPotions."});

  for (const char* said : {"armorid 3", "ARMORID 3", "ArmorID 3"}) {
    g.chat("Boss", 3, said);
    EXPECT_EQ(g.takeCalls(), Lines{"whisper 3 Mail"}) << said;
  }

  // The prefix in capitals, the name with its own letter case.
  g.chat("Boss", 3, "/USE SCAN ann");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 3 There is no one by that name."});
  g.chat("Boss", 3, "/USE SCAN Ann");
  EXPECT_EQ(g.takeCalls().size(), 2u);
  EXPECT_EQ(g.player("Boss").items, "hppotion");
}

TEST(ChatDispatch, AFailingAdministratorCommandIsSilentAndTheNextLineIsHandled) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Boss");
  g.chat("Boss", 3, "objadd battle,50,three,8,Troll,20,40,1234");
  EXPECT_EQ(g.takeCalls(), Lines{});
  g.chat("Boss", 3, "objadd heal,20,4711");
  EXPECT_EQ(g.takeCalls(), Lines{"whisper 3 Heal was added."});
}

}  // namespace
}  // namespace kelva::chat
