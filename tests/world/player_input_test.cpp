#include "world/core/player_input.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

TEST(PlayerInput, GameCommandsAndOrdinaryLinesAreChatAsTyped) {
  for (const char* line : {"/stats", "  hello there ", "objadd battle,50", "...", ". ok", ".5 gold", "."}) {
    PlayerAction a = parsePlayerLine(line);
    EXPECT_EQ(a.kind, PlayerActionKind::kChat) << line;
    EXPECT_EQ(a.text, line);
  }
  EXPECT_EQ(parsePlayerLine("   ").kind, PlayerActionKind::kNothing);
  PlayerAction unknown = parsePlayerLine(".lok around");
  EXPECT_EQ(unknown.kind, PlayerActionKind::kUnknown);
  EXPECT_EQ(unknown.text, ".lok");
}

TEST(PlayerInput, ActionsIgnoreCaseAndCheckTheirArguments) {
  EXPECT_EQ(parsePlayerLine(".WHO").kind, PlayerActionKind::kWho);
  PlayerAction move = parsePlayerLine(".Move -1500\t+2500");
  EXPECT_EQ(move.kind, PlayerActionKind::kMove);
  EXPECT_EQ(move.x, -1500);
  EXPECT_EQ(move.z, 2500);
  EXPECT_EQ(parsePlayerLine(".click -2147483648").number, INT32_MIN);
  PlayerAction tell = parsePlayerLine(".TELL Old Tom  /stats ");
  EXPECT_EQ(tell.kind, PlayerActionKind::kTell);
  EXPECT_EQ(tell.text, "Old Tom  /stats");
  for (const char* line : {".click", ".click 1x", ".click 2147483648", ".click 1.5", ".attack   ", ".move 1",
                           ".move a b", ".move 1 2 3", ".tell", ".tell Kelvabot", ".tell Kelvabot   "}) {
    PlayerAction a = parsePlayerLine(line);
    EXPECT_EQ(a.kind, PlayerActionKind::kMisused) << line;
    EXPECT_EQ(a.text.rfind("* Use: .", 0), 0u) << line;
  }
}

}  // namespace
}  // namespace kelva::world
