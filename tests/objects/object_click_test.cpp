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

ObjectDefinition withTag(ObjectDefinition d, const std::string& tag) {
  d.tag = tag;
  return d;
}

ObjectDefinition monster(const std::string& name, int32_t hp, int32_t number) {
  ObjectDefinition d = shop("battle", 0, number, name);
  d.stat1 = hp;
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

// Each role word reaches its own role; a clicker without a character hears
// the same refusal from every one of them.
TEST(ObjectClick, EachRoleHasItsOwnAnswer) {
  struct Case {
    ObjectDefinition def;
    std::string answer;
  };
  const Case cases[] = {
      {monster("Rat", 7, 1), "You are battling Rat, 7 HP."},
      {shop("heal", 1, 1), "You already have enough hp."},
      {shop("hppotion", 1, 1), "You bought one HP Potion."},
      {shop("item", 1, 1, "rope"), "You bought one rope."},
      {shop("armor", 3, 1), "You bought a Mail."},
      {shop("sellarmor", 0, 1), "You do not have any armor to sell."},
      {shop("sellweapon", 0, 1), "You do not have any weapon to sell."},
      {shop("weapon", 3, 1), "You bought a Sword."},
      {withTag(shop("clan", 0, 1, "Owls"), "good"), "You joined the Owls's clan."},
      {withTag(shop("skill", 0, 1, "fire"), "none"), "You learned fire."},
  };
  for (const Case& c : cases) {
    GameFixture g;
    g.givenPlayer("Ann").withGold(100);
    g.givenCatalogEntry(CatalogEntry{.name = "Mail", .cost = 1, .kind = kArmorKind, .id = 3});
    g.givenCatalogEntry(CatalogEntry{.name = "Sword", .cost = 1, .kind = kWeaponKind, .id = 3});
    g.givenObject(c.def);
    g.clickObject("Ann", 5, 1);
    g.clickObject("Zed", 6, 1);
    EXPECT_EQ(g.takeCalls(), (Calls{"whisper 5 " + c.answer, "whisper 6 You do not have a charecter."})) << c.def.role;
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
