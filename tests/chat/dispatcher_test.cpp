#include "chat/dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

TEST(ChatDispatch, CommandsNeedTheWholeLineOrTheWholePrefix) {
  GameFixture g;
  g.givenAdmin("Boss");
  g.givenPlayer("Boss").withItems("scan");
  g.givenPlayer("Ann");
  for (const char* said : {"/stats now", "stats", "", "/use scan", "/usescan Ann", "weaponid", "bmessage:hi"}) {
    g.chat("Boss", 3, said);
    EXPECT_EQ(g.takeCalls(), Lines{}) << '"' << said << '"';
  }
  EXPECT_EQ(g.view.lines, Lines{});
  EXPECT_EQ(g.player("Boss").items, "scan");
}

TEST(ChatDispatch, AnEmptyAdministratorBoxMatchesOnlyAnEmptyName) {
  GameFixture g;
  g.chat("", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls().size(), 19u);
  for (auto& box : g.form->console.Text1) box = "Boss";
  g.chat("", 3, "/admin commands");
  g.chat(" Boss", 3, "/admin commands");
  g.chat("Boss ", 3, "/admin commands");
  EXPECT_EQ(g.takeCalls(), Lines{});
}

}  // namespace
}  // namespace kelva::chat
