#include "chat/owner_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

TEST(OwnerMessages, GoToTheListWithTheSenderAndRestartTheSound) {
  GameFixture g;
  g.givenAdmin("Bob");
  g.chat("Bob", 7, "bmessage: Hello there");
  g.chat("Bob", 7, "BMESSAGE: ");
  g.chat("Bob", 7, "Bmessage:   Spaced,  Out ");
  EXPECT_EQ(g.view.lines, (Lines{"list1 Bob:     Hello there", "sound", "list1 Bob:     ", "sound",
                                 "list1 Bob:       Spaced,  Out ", "sound"}));
  EXPECT_EQ(g.form->console.List1,
            (Lines{"Bob:     Hello there", "Bob:     ", "Bob:       Spaced,  Out "}));
  // The sender hears nothing back.
  EXPECT_EQ(g.takeCalls(), Lines{});
}

TEST(OwnerMessages, NeedTheBlankAfterTheColonAndAnAdministrator) {
  GameFixture g;
  g.givenAdmin("Bob");
  g.chat("Bob", 7, "bmessage:hello");
  g.chat("Bob", 7, "bmessage");
  g.chat("Ann", 8, "bmessage: let me in");
  EXPECT_EQ(g.view.lines, Lines{});
  EXPECT_EQ(g.takeCalls(), Lines{});
}

}  // namespace
}  // namespace kelva::chat
