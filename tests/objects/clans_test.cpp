#include "objects/clans.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

ObjectDefinition clanHall(int32_t minLevel) {
  return ObjectDefinition{.name = "Owls",
                          .stat1 = 10,  // max hp %
                          .stat2 = 20,  // speed %
                          .stat3 = 30,  // strength %
                          .stat4 = 40,  // charisma %
                          .stat5 = 50,  // max mp %
                          .role = "clan",
                          .param = minLevel,
                          .objectNumber = 60,
                          .tag = "good",
                          .acBonus = 3};
}

ObjectDefinition teacher(const std::string& skill, const std::string& clan, int32_t price, int32_t minLevel) {
  return ObjectDefinition{
      .name = skill, .stat4 = price, .role = "skill", .param = minLevel, .objectNumber = 70, .tag = clan};
}

TEST(ClanHall, JoiningTakesTheBonusesAndTheShroomType) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(5).withMaxHp(25).withHp(7);
  g.givenObject(clanHall(5));
  g.clickObject("Ann", 7, 60);
  const PlayerRecord& p = g.player("Ann");
  EXPECT_EQ(p.clan, "Owls");
  EXPECT_EQ(p.shroomType, "good");
  EXPECT_EQ(p.clanMaxHpBonus, 10);
  EXPECT_EQ(p.clanSpeedBonus, 20);
  EXPECT_EQ(p.clanStrengthBonus, 30);
  EXPECT_EQ(p.clanCharismaBonus, 40);
  EXPECT_EQ(p.clanMaxMpBonus, 50);
  EXPECT_EQ(p.clanAcBonus, 3);
  // The statistics as they were become the base values and the bonuses are
  // applied (their arithmetic is the clan-stats tests' business).
  EXPECT_EQ(p.baseMaxHp, 25);
  EXPECT_EQ(p.maxHp, 28);  // 27.5 to the even neighbour
  EXPECT_EQ(p.hp, 7);
  EXPECT_EQ(p.maxMp, 8);  // an empty pool counts as 5 under a clan: 7.5 to 8
  EXPECT_EQ(p.ac, 3);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 You joined the Owls's clan."});
  EXPECT_NE(g.statsFile().find("Owls"), std::string::npos);
}

TEST(ClanHall, RefusalsInTheirOrderWithBonusesTooLargeForThePlayerLast) {
  GameFixture g;
  g.givenPlayer("Ann").withLevel(1).withClan("Cats");
  g.givenPlayer("Bob").withLevel(1);
  g.givenPlayer("Cid").withLevel(9);
  ObjectDefinition hall = clanHall(2);
  hall.stat5 = 32768;
  g.givenObject(hall);
  const PlayerRecord before = g.player("Cid");
  g.clickObject("Ann", 7, 60);
  g.clickObject("Bob", 8, 60);
  g.clickObject("Cid", 9, 60);
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You are already part of a clan.",
                                  "whisper 8 You are not of an acceptable level to join this clan.",
                                  "whisper 9 You cannot join this clan."}));
  EXPECT_EQ(g.player("Cid"), before);
  EXPECT_EQ(g.statsFile(), "");
}

TEST(ClanHall, ATagThatIsNoShroomKindIsStillTaken) {
  GameFixture g;
  g.givenPlayer("Ann");
  ObjectDefinition hall = clanHall(0);
  hall.tag = "purple";
  hall.stat1 = -32768;
  g.givenObject(hall);
  g.clickObject("Ann", 7, 60);
  EXPECT_EQ(g.player("Ann").shroomType, "purple");
  EXPECT_EQ(g.player("Ann").clanMaxHpBonus, -32768);
}

TEST(SkillTeacher, AppendsTheSkillForExactlyItsPrice) {
  GameFixture g;
  g.givenPlayer("Ann").withClan("Owls").withGold(5).withLevel(3).withSkills("fire cracker");
  g.givenObject(teacher("bomb mask", "Owls", 5, 3));
  g.clickObject("Ann", 7, 70);
  EXPECT_EQ(g.player("Ann").skills, "fire cracker,bomb mask");
  EXPECT_EQ(g.player("Ann").gold, 0);
  EXPECT_EQ(g.takeCalls(), Calls{"whisper 7 You learned bomb mask."});
  EXPECT_NE(g.statsFile().find("!fire cracker,bomb mask!"), std::string::npos);
}

TEST(SkillTeacher, KnownSkillsByWholeListSuffixOrComma) {
  // "cracker" is followed by a comma and "mask" ends the list; "fire" and
  // "bomb" are only parts of known names.
  const char* known[] = {"fire cracker", "bomb mask", "mask", "cracker", "fire", "bomb"};
  for (const char* skill : known) {
    GameFixture g;
    g.givenPlayer("Ann").withClan("Owls").withGold(0).withSkills("fire cracker,bomb mask");
    g.givenObject(teacher(skill, "Owls", 100, 99));
    g.clickObject("Ann", 7, 70);
    const bool expected = std::string(skill) != "fire" && std::string(skill) != "bomb";
    EXPECT_EQ(g.takeCalls(),
              Calls{expected ? "whisper 7 You already know this skill." : "whisper 7 You do not have enough GP."})
        << skill;
  }
}

// The clan is compared exactly ("none" is the clanless' own), before the
// known-skill test; then the gold before the level.
TEST(SkillTeacher, WhoMayLearnAndInWhatOrderTheyAreRefused) {
  GameFixture g;
  g.givenPlayer("Ann").withClan("Owls").withGold(4).withLevel(1).withSkills("behead");
  g.givenPlayer("Bob").withGold(0);
  g.givenObject(teacher("behead", "owls", 5, 2));
  g.clickObject("Ann", 7, 70);
  g.form->objectDefinitions[0].tag = "Owls";
  g.form->objectDefinitions[0].name = "steal";
  g.clickObject("Ann", 7, 70);  // too poor and too low: only the gold
  g.form->objectDefinitions[0] = teacher("steal", "none", 0, 0);
  g.clickObject("Ann", 7, 70);
  EXPECT_EQ(g.statsFile(), "");  // refusals save nothing
  g.clickObject("Bob", 8, 70);
  EXPECT_EQ(g.takeCalls(), (Calls{"whisper 7 You cannot learn a skill from another clan.",
                                  "whisper 7 You do not have enough GP.",
                                  "whisper 7 You cannot learn a skill from another clan.", "whisper 8 You learned steal."}));
  EXPECT_EQ(g.player("Ann").skills, "behead");
  EXPECT_EQ(g.player("Ann").gold, 4);
  EXPECT_NE(g.statsFile().find("!steal!"), std::string::npos);
}

}  // namespace
}  // namespace kelva
