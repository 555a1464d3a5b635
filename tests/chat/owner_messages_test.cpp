#include "chat/owner_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/game_fixture.h"

namespace kelva::chat {
namespace {

using kelva::testing::GameFixture;
using Lines = std::vector<std::string>;

TEST(OwnerMessages, AreKeptInTheListWithTheSenderWhoHearsNothingBack) {
  GameFixture g;
  g.givenAdmin("Bob");
  g.chat("Bob", 7, "bmessage: Hello there");
  g.chat("Bob", 7, "bmessage");
  g.chat("Bob", 7, "Bmessage:   Spaced,  Out ");
  EXPECT_EQ(g.form->console.List1, (Lines{"Bob:     Hello there", "Bob:       Spaced,  Out "}));
  EXPECT_EQ(g.takeCalls(), Lines{});
}

}  // namespace
}  // namespace kelva::chat
