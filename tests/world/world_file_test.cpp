#include "world/world_file.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

std::string parseError(std::string_view text) {
  Result<WorldDefinition> r = parseWorldFile(text, "w.json");
  return r.isOk() ? std::string("(loaded)") : r.status().message();
}

TEST(WorldFile, LoadsEveryPartWithDefaultsForTheOptionalOnes) {
  Result<WorldDefinition> r = parseWorldFile(R"({
    "name": "Kelva",
    "entry": {"x": 10, "z": -20},
    "bots": [{"citizen": 1, "password": "pw"}],
    "players": [{"name": "Ann", "password": "a"}],
    "objects": [
      {"number": 7, "model": "troll.rwx", "description": "A troll", "action": "create color red",
       "x": 1200, "y": 5, "z": -300, "yaw": -900, "owner": 42},
      {"number": 8, "model": "shroom.rwx", "x": 0, "z": 0}
    ]})",
                                             "w.json");
  ASSERT_TRUE(r.isOk()) << r.status().message();
  const WorldDefinition& d = r.value();
  EXPECT_EQ(d.name, "Kelva");
  EXPECT_EQ(d.entryX, 10);
  EXPECT_EQ(d.entryY, 0);
  EXPECT_EQ(d.entryZ, -20);
  EXPECT_EQ(d.nearRange, 20000);
  ASSERT_EQ(d.bots.size(), 1u);
  EXPECT_EQ(d.bots[0].citizen, 1);
  ASSERT_EQ(d.players.size(), 1u);
  EXPECT_EQ(d.players[0].name, "Ann");
  ASSERT_EQ(d.objects.size(), 2u);
  EXPECT_EQ(d.objects[0].yaw, -900);
  EXPECT_EQ(d.objects[0].owner, 42);
  EXPECT_EQ(d.objects[0].action, "create color red");
  EXPECT_EQ(d.objects[1].description, "");
}

TEST(WorldFile, MistakesAreNamedWithWhereTheyAre) {
  EXPECT_NE(parseError("{ \"name\": ").find("w.json"), std::string::npos);
  EXPECT_NE(parseError("{ \"name\": \n\"x\",, }").find("line 2"), std::string::npos);
  EXPECT_NE(parseError(R"({"bots": []})").find("name is missing"), std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K"})").find("bots is missing"), std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "colour": 1})").find("unknown name \"colour\""),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [{"citizen": "1", "password": "p"}]})").find("bots[0]"),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0, "z": 0,
            "yaw": 32768}]})")
                .find("objects[0]: yaw is out of range"),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0.5, "z": 0}]})")
                .find("whole number"),
            std::string::npos);
  // A number beyond a double is a mistake in the file, not a crash.
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "entry": {"x": 1e999}})").find("w.json"), std::string::npos);
}

TEST(WorldFile, ListsMustNotRepeatAndNumbersMustBeUsable) {
  EXPECT_NE(parseError(R"({"name": "K", "bots": [{"citizen": 1, "password": "a"}, {"citizen": 1, "password": "b"}]})")
                .find("listed twice"),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "players": [{"name": "A", "password": ""},
            {"name": "A", "password": ""}]})")
                .find("listed twice"),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0, "z": 0},
            {"number": 1, "model": "m", "x": 0, "z": 0}]})")
                .find("listed twice"),
            std::string::npos);
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "objects": [{"number": 0, "model": "m", "x": 0, "z": 0}]})")
                .find("1 or more"),
            std::string::npos);
  // A registered name in double quotes would look like a guest.
  EXPECT_NE(parseError(R"({"name": "K", "bots": [], "players": [{"name": "\"Ann\"", "password": ""}]})")
                .find("cannot begin with"),
            std::string::npos);
}

TEST(WorldFile, MissingFileSaysSo) {
  Result<WorldDefinition> r = loadWorldFile("/nonexistent/world.json");
  ASSERT_FALSE(r.isOk());
  EXPECT_NE(r.status().message().find("cannot be opened"), std::string::npos);
}

TEST(AvatarNames, WhatANameMayHold) {
  EXPECT_EQ(nameProblem("Ann"), "");
  EXPECT_EQ(nameProblem("Sir Ann, the Bold"), "");  // the bot itself decides about commas
  EXPECT_EQ(nameProblem("Zo\xc3\xab"), "");
  EXPECT_NE(nameProblem(""), "");
  EXPECT_NE(nameProblem(" Ann"), "");
  EXPECT_NE(nameProblem("Ann "), "");
  EXPECT_NE(nameProblem(std::string(33, 'a')), "");
  EXPECT_EQ(nameProblem(std::string(32, 'a')), "");
  EXPECT_NE(nameProblem("An\x1b[31mn"), "");
  EXPECT_NE(nameProblem("Zo\xeb"), "");
}

TEST(PlayerText, ControlCharactersAndBrokenUtf8AreRefused) {
  EXPECT_EQ(textProblem("/stats"), "");
  EXPECT_EQ(textProblem("tab\there"), "");
  EXPECT_EQ(textProblem("\xe2\x82\xac 5"), "");
  EXPECT_NE(textProblem("bell\a"), "");
  EXPECT_NE(textProblem("del\x7f"), "");
  EXPECT_NE(textProblem("\xc0\xaf"), "");          // overlong
  EXPECT_NE(textProblem("\xed\xa0\x80"), "");      // surrogate
  EXPECT_NE(textProblem("\xe2\x82"), "");          // cut short
  EXPECT_NE(textProblem("\xff"), "");
}

}  // namespace
}  // namespace kelva::world
