#include "world/core/world_file.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

TEST(WorldFile, LoadsEveryPartWithDefaultsForTheOptionalOnes) {
  Result<WorldDefinition> r = parseWorldFile(R"({
    "name": "Kelva",
    "entry": {"x": 10, "z": -20},
    "bots": [{"citizen": 1, "password": "pw"}],
    "players": [{"name": "Ann", "password": "a", "admin": true}, {"name": "Bo", "passwordHash": "$h"}],
    "objects": [
      {"number": 7, "model": "troll.rwx", "description": "A troll", "action": "create color red",
       "x": 1200, "y": 5, "z": -300, "yaw": -900, "owner": 42},
      {"number": 8, "model": "shroom.rwx", "x": 0, "z": 0}
    ]})",
                                             "w.json");
  ASSERT_TRUE(r.isOk()) << r.status().message();
  const WorldDefinition& d = r.value();
  EXPECT_EQ(d.entryX, 10);
  EXPECT_EQ(d.entryY, 0);
  EXPECT_EQ(d.entryZ, -20);
  EXPECT_EQ(d.nearRange, 20000);
  ASSERT_EQ(d.bots.size(), 1u);
  ASSERT_EQ(d.players.size(), 2u);
  EXPECT_TRUE(d.players[0].admin);
  EXPECT_FALSE(d.players[1].admin);
  ASSERT_EQ(d.objects.size(), 2u);
  EXPECT_EQ(d.objects[0].yaw, -900);
  EXPECT_EQ(d.objects[0].owner, 42);
  EXPECT_EQ(d.objects[0].action, "create color red");
  EXPECT_EQ(d.objects[1].description, "");
  EXPECT_TRUE(d.guests);
  EXPECT_EQ(d.maxGuests, std::nullopt);

  Result<WorldDefinition> closed = parseWorldFile(R"({"name": "K", "bots": [], "guests": false, "maxGuests": 0})", "w");
  ASSERT_TRUE(closed.isOk()) << closed.status().message();
  EXPECT_FALSE(closed.value().guests);
  EXPECT_EQ(closed.value().maxGuests, 0u);
}

TEST(WorldFile, MistakesAreNamedWithWhereTheyAre) {
  const std::string kObj = R"({"number": 1, "model": "m", "x": 0, "z": 0})";
  const std::pair<std::string, std::string> cases[] = {
      {"{ \"name\": ", "w.json"},
      {"{ \"name\": \n\"x\",, }", "line 2"},
      {R"({"bots": []})", "name is missing"},
      {R"({"name": "K"})", "bots is missing"},
      {R"({"name": "K", "bots": [], "colour": 1})", "unknown name \"colour\""},
      {R"({"name": "K", "bots": [{"citizen": "1", "password": "p"}]})", "bots[0]"},
      {R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0, "z": 0, "yaw": 32768}]})",
       "objects[0]: yaw is out of range"},
      {R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0.5, "z": 0}]})", "whole number"},
      // A number beyond a double is a mistake in the file, not a crash.
      {R"({"name": "K", "bots": [], "entry": {"x": 1e999}})", "w.json"},
      {R"({"name": "K", "bots": [{"citizen": 1, "password": "a"}, {"citizen": 1, "password": "b"}]})",
       "listed twice"},
      {R"({"name": "K", "bots": [], "players": [{"name": "A", "password": ""}, {"name": "A", "password": ""}]})",
       "listed twice"},
      {R"({"name": "K", "bots": [], "objects": [)" + kObj + "," + kObj + "]}", "listed twice"},
      {R"({"name": "K", "bots": [], "objects": [{"number": 0, "model": "m", "x": 0, "z": 0}]})", "1 or more"},
      {R"({"name": "K", "bots": [], "guests": "no"})", "guests must be true or false"},
      {R"({"name": "K", "bots": [], "signUp": 0})", "signUp must be true or false"},
      {R"({"name": "K", "bots": [], "maxGuests": -1})", "maxGuests must not be negative"},
      {R"({"name": "K", "bots": [], "players": [{"name": "B", "password": "p", "admin": 1}]})", "admin must be true"},
      // A registered name in double quotes would look like a guest.
      {R"({"name": "K", "bots": [], "players": [{"name": "\"Ann\"", "password": ""}]})", "cannot begin with"},
      // A player needs one way in, and only one.
      {R"({"name": "K", "bots": [], "players": [{"name": "Ann"}]})", "either password or passwordHash"},
      {R"({"name": "K", "bots": [], "players": [{"name": "Ann", "password": "a", "passwordHash": "$h"}]})",
       "either password or passwordHash"},
  };
  for (const auto& [text, part] : cases) {
    Result<WorldDefinition> r = parseWorldFile(text, "w.json");
    ASSERT_FALSE(r.isOk()) << text;
    EXPECT_NE(r.status().message().find(part), std::string::npos) << text << " -> " << r.status().message();
  }
  Result<WorldDefinition> missing = loadWorldFile("/nonexistent/world.json");
  ASSERT_FALSE(missing.isOk());
  EXPECT_NE(missing.status().message().find("cannot be opened"), std::string::npos);
}

TEST(WorldFile, WhatANameAndAPlayersLineMayHold) {
  using Names = std::vector<std::string>;
  for (const std::string& good : Names{"Ann", "Sir Ann, the Bold", "Zo\xc3\xab", std::string(32, 'a')})
    EXPECT_EQ(nameProblem(good), "") << good;
  for (const std::string& bad : Names{"", " Ann", "Ann ", std::string(33, 'a'), "An\x1b[31mn", "Zo\xeb"})
    EXPECT_NE(nameProblem(bad), "") << bad;
  for (const char* good : {"/stats", "tab\there", "\xe2\x82\xac 5"}) EXPECT_EQ(textProblem(good), "") << good;
  // Control characters, overlong forms, surrogates, cut-short and impossible bytes.
  for (const char* bad : {"bell\a", "del\x7f", "\xc0\xaf", "\xed\xa0\x80", "\xe2\x82", "\xff"})
    EXPECT_NE(textProblem(bad), "") << bad;
}

}  // namespace
}  // namespace kelva::world
