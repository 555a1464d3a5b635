#include "objects/object_click.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

ObjectDefinition shop(const std::string& role, int32_t param, int32_t number, const std::string& name = "") {
  ObjectDefinition d;
  d.name = name;
  d.role = role;
  d.param = param;
  d.objectNumber = number;
  return d;
}

ShroomEntry shroom(int32_t number) {
  ShroomEntry e;
  e.model = "shroom.rwx";
  e.number = number;
  return e;
}

// Every way through the handler switches event kind 17 off once and back on
// once: ignored clicks, watchers, refusals, purchases, shrooms and failures.
TEST(ObjectClick, EventsAreSwitchedOffAndBackOnOnEveryPath) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(INT32_MAX);
  g.givenAdmin("Ann");
  g.form->objectNumberWatchers[0] = "Ann";
  g.givenObject(shop("hppotion", 2, 10));
  g.givenObject(shop("item", -1, 11, "rope"));  // INT32_MAX + 1 gold overflows
  g.givenObject(shop("unknown", 0, 12));
  g.givenShroom(shroom(13));

  struct Click {
    std::string who;
    int32_t number;
  };
  const Click clicks[] = {{"Ann", 99}, {"Ann", 10}, {"Zed", 10}, {"Ann", 11}, {"Ann", 12}, {"Ann", 13}, {"Zed", 13}};
  int expected = 0;
  for (const Click& c : clicks) {
    g.clickObject(c.who, 5, c.number);
    ++expected;
    EXPECT_EQ(g.world.eventOffCount, expected) << c.who << " clicked " << c.number;
    EXPECT_EQ(g.world.eventOnCount, expected) << c.who << " clicked " << c.number;
  }
}

TEST(ObjectClick, WatchersHearTheNumberFirstThenTheAnswer) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(0);
  g.form->objectNumberWatchers[3] = "Ann";
  g.form->objectNumberWatchers[7] = "Ann";  // said once, however often listed
  g.givenObject(shop("hppotion", 2, 4321));
  g.clickObject("Ann", 5, 4321);
  g.clickObject("Ann", 5, 77);
  g.clickObject("ann", 6, 4321);
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 5 4321", "whisper 5 You do not have enough money.", "whisper 5 77",
                                  "whisper 6 You do not have a charecter."}));
}

// An unknown number or role gets no answer, not even the stranger's refusal.
TEST(ObjectClick, UnknownObjectsAndRolesAreIgnored) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(1000);
  g.givenObject(shop("potion", 1, 2));
  g.givenObject(shop("heal ", 1, 3));
  g.givenObject(shop("", 1, 4));
  for (int32_t n = 1; n <= 4; ++n) g.clickObject("Ann", 5, n);
  g.clickObject("Zed", 6, 1);
  g.clickObject("Zed", 6, 2);
  EXPECT_EQ(g.takeCalls(), Calls{});
  EXPECT_EQ(g.player("Ann").gold, 1000);
}

// Which handler each role word reaches is played by the object transcripts;
// here every role word is recognised, and a clicker without a character
// hears the same refusal from each.
TEST(ObjectClick, EveryRoleRefusesAClickerWithoutACharacter) {
  for (const char* role : {"battle", "heal", "hppotion", "item", "armor", "sellarmor", "sellweapon", "weapon", "clan",
                           "skill"}) {
    GameFixture g;
    g.givenObject(shop(role, 1, 1));
    g.clickObject("Zed", 6, 1);
    EXPECT_EQ(g.takeCalls(), Calls{"whisper 6 You do not have a charecter."}) << role;
  }
}

// A number answers with its first definition, ahead of later ones and of a
// shroom cached under the same number.
TEST(ObjectClick, OnlyTheFirstDefinitionWithTheNumberCounts) {
  GameFixture g;
  g.givenPlayer("Ann").withGold(3).withShroomType("good").withMaxMp(10);
  g.givenShroom(shroom(50));
  g.givenObject(shop("hppotion", 3, 50));
  g.givenObject(shop("item", 1, 50, "rope"));
  g.clickObject("Ann", 5, 50);
  g.clickObject("Ann", 5, 50);  // a refusal does not fall through to the shroom either
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 5 You bought one HP Potion.", "whisper 5 You do not have enough money."}));
  EXPECT_EQ(g.player("Ann").items, "hppotion");
  EXPECT_EQ(g.player("Ann").gold, 0);
  EXPECT_EQ(g.player("Ann").mp, 0);
}

}  // namespace
}  // namespace kelva
