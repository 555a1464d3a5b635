#include "objects/shrooms.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva {
namespace {

using testing::GameFixture;
using Calls = std::vector<std::string>;

ShroomEntry shroom(int32_t number, const std::string& model) {
  return ShroomEntry{.number = number,
                     .model = model,
                     .description = "magic",
                     .action = "",
                     .x = 1500,
                     .y = -20,
                     .z = -2700,
                     .yaw = 900,
                     .owner = 321};
}

// What is whispered and saved is played by a world script; here the shroom
// is changed where it stands, as it is, and the cache waits for the world.
TEST(ShroomClick, APickedShroomIsChangedInPlace) {
  GameFixture g;
  g.givenPlayer("Ann").withShroomType("good").withMaxMp(5).withMp(0);
  g.givenShroom(shroom(500, "shroom.rwx"));
  const ShroomEntry before = g.form->shroomCache[0];
  g.clickObject("Ann", 7, 500);
  EXPECT_EQ(g.player("Ann").mp, 5);
  const WorldSdk& w = g.world;
  EXPECT_EQ(w.ObjectOldNumber, 500);
  EXPECT_EQ(w.ObjectOldX, 1500);
  EXPECT_EQ(w.ObjectOldZ, -2700);
  EXPECT_EQ(w.ObjectX, 1500);
  EXPECT_EQ(w.ObjectY, -20);
  EXPECT_EQ(w.ObjectZ, -2700);
  EXPECT_EQ(w.ObjectYaw, 900);
  EXPECT_EQ(w.ObjectOwner, 321);
  EXPECT_EQ(w.ObjectDescription, "magic");
  EXPECT_EQ(g.form->shroomCache[0], before);
  EXPECT_EQ(g.form->lastShroomIndex, 0);
}

TEST(ShroomClick, OnlyTheMatchingKindMayCollect) {
  struct Case {
    std::string shroomType;
    std::string model;
    std::string answer;
  };
  const Case cases[] = {
      {"", "shroom.rwx", "You cannot collect Magic Shrooms."},
      {"", "shroome.rwx", "You cannot collect Magic Shrooms."},
      {"good", "shroome.rwx", "You cannot collect this type of Magic Shrooms."},
      {"good", "shroom1e.rwx", "You cannot collect this type of Magic Shrooms."},
      {"evil", "shroom.rwx", "You cannot collect this type of Magic Shrooms."},
      {"Evil", "shroome.rwx", "You cannot collect this type of Magic Shrooms."},
      {"purple", "shroom.rwx", "You cannot collect this type of Magic Shrooms."},
      {"evil", "shroome.rwx", "You collected 10mp from that magic shroom."},
      {"evil", "shroom1e.rwx", "You collected 5mp from that magic shroom."},
      {"good", "shroom1.rwx", "You collected 5mp from that magic shroom."},
  };
  for (const Case& c : cases) {
    GameFixture g;
    g.givenPlayer("Ann").withShroomType(c.shroomType).withMaxMp(50);
    g.givenShroom(shroom(9, c.model));
    g.clickObject("Ann", 7, 9);
    const Calls calls = g.takeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "whisper 7 " + c.answer) << c.shroomType << " " << c.model;
    EXPECT_EQ(calls.size(), c.answer.starts_with("You collected") ? 2u : 1u);
  }
}

TEST(ShroomClick, MagicPointsStopAtTheMaximum) {
  GameFixture g;
  g.givenPlayer("Ann").withShroomType("good").withMaxMp(5).withMp(2);
  g.givenPlayer("Bob").withShroomType("good").withMaxMp(5).withMp(5);
  g.givenPlayer("Cid").withShroomType("good").withMaxMp(5).withMp(8);
  g.givenShroom(shroom(9, "shroom.rwx"));
  g.clickObject("Ann", 7, 9);
  g.clickObject("Bob", 8, 9);
  g.clickObject("Cid", 9, 9);
  EXPECT_EQ(g.takeCalls(), (Calls{"object-change 9 shroom.rwx create solid no,visible no",
                                  "whisper 7 You collected 3mp from that magic shroom.",
                                  "whisper 8 You cannot collect anymore Magic Shrooms.",
                                  "whisper 9 You cannot collect anymore Magic Shrooms."}));
  EXPECT_EQ(g.player("Ann").mp, 5);
  EXPECT_EQ(g.player("Bob").mp, 5);
  EXPECT_EQ(g.player("Cid").mp, 8);
}

TEST(ShroomClick, TheFirstCachedShroomWithTheNumberIsPicked) {
  GameFixture g;
  g.givenPlayer("Ann").withShroomType("good").withMaxMp(50).withHp(0);
  g.givenShroom(shroom(3, "shroom.rwx"));
  g.givenShroom(shroom(9, "shroom1.rwx"));
  g.givenShroom(shroom(9, "shroom.rwx"));
  g.clickObject("Ann", 7, 9);  // the dead may pick shrooms
  g.clickObject("Ann", 7, 4);  // not cached: nothing at all
  g.clickObject("Zed", 8, 9);
  g.clickObject("Zed", 8, 4);
  EXPECT_EQ(g.takeCalls(),
            (Calls{"object-change 9 shroom1.rwx create solid no,visible no",
                   "whisper 7 You collected 5mp from that magic shroom.", "whisper 8 You do not have a charecter."}));
}

}  // namespace
}  // namespace kelva
