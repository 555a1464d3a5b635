// Group commit: each round of event handling writes each changed file once,
// at its end, and the bot's messages of the round leave only after that.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "combat/battle_table.h"
#include "console/console_actions.h"
#include "data/stats_file.h"
#include "persist/persistence.h"
#include "support/game_fixture.h"
#include "support/held_game.h"

namespace kelva::testing {
namespace {

// Every write is also a line among the world's calls, so that a test sees
// saves and messages in one order.
struct GroupCommitTest : ::testing::Test, HeldGame {
  GroupCommitTest() { files.writeLog = &world.calls; }
};

TEST_F(GroupCommitTest, OnePumpOfManyChangesWritesEachChangedFileOnceBeforeAnyReply) {
  queueArrival("Ann");
  queueArrival("Bob");
  world.queueChat("Ann", 2, "/drink hppotion");
  world.queueChat("Ann", 2, "arweadd weapon,3,1,7,10,Club");
  world.queueChat("Ann", 2, "arweadd armor,2,0,8,20,Vest");
  world.queueChat("Ann", 2, "objadd heal,5,4711");
  world.queueChat("Ann", 2, "objadd hppotion,9,4712");
  router->timawwaitTick();

  const auto calls = take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "save stats.txt"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "save armor~weapon.txt"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "save objects.txt"), 1);
  // The three saves come first, then every reply of the round in its order.
  ASSERT_GE(calls.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(calls[i].rfind("save ", 0), 0u) << calls[i];
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 3, calls.end()),
            (std::vector<std::string>{"whisper 2 You have no HP Potions.", "whisper 2 Weapon added.",
                                      "whisper 2 Armor added.", "whisper 2 Heal was added.",
                                      "whisper 2 HP Potion was added."}));
  // What was written is the game as it stands.
  EXPECT_EQ(files.files["/data/stats.txt"], formatStatsFile(form->roster, form->playerCount));
  EXPECT_EQ(view.lines, (std::vector<std::string>{"combo1 Ann", "combo1 Bob"}));
}

TEST_F(GroupCommitTest, RoundsThatChangeNothingWriteNothing) {
  queueArrival("Ann");
  router->timawwaitTick();
  take();
  world.queueChat("Ann", 2, "/stats");
  world.queueChat("Ann", 2, "/pvp");
  world.queueChat("Ann", 2, "armorid 3");
  router->timawwaitTick();
  router->timawwaitTick();  // nothing pending at all
  router->timer1Tick();     // no battle
  router->timer2Tick();
  const auto calls = take();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("save ", 0) == 0; }),
            0);
  EXPECT_EQ(calls.size(), 4u);  // two lines of /stats, /pvp, armorid
}

TEST_F(GroupCommitTest, AConsoleChangeIsARoundOfItsOwn) {
  queueArrival("Bob");
  router->timawwaitTick();
  take();
  view.lines.clear();
  router->consoleAction("selecting a name", [&] { console::selectCombo1(*form, "Bob"); });
  form->console.Text2 = "10";
  form->console.Text3 = "50";
  router->consoleAction("Change", [&] { console::pressCommand1(*form); });
  // The gift is announced before the change is made, yet leaves the bot
  // only once it is written.
  EXPECT_EQ(take(), (std::vector<std::string>{"save stats.txt",
                                              "say A special gift of 10exp and 45gp was given to Bob."}));
  EXPECT_EQ(view.lines, (std::vector<std::string>{"text2 0", "text3 5"}));
}

TEST_F(GroupCommitTest, HeldCallsKeepTheAttributesOfTheirMomentAndEventsSeeTheirOwn) {
  router->consoleAction("probe", [&] {
    WorldSdk& sdk = form->sdk;
    sdk.ObjectOldNumber = 1;
    sdk.ObjectModel = "shroom1.rwx";
    sdk.ObjectAction = "";
    sdk.ObjectChange();
    sdk.ObjectOldNumber = 2;
    sdk.ObjectModel = "shroome.rwx";
    sdk.ObjectAction = "create solid no,visible no";
    sdk.ObjectChange();
    sdk.TeleportX = 5;
    sdk.TeleportWarp = true;
    sdk.Teleport(7);
    sdk.TeleportX = 6;
    EXPECT_TRUE(world.calls.empty());
  });
  EXPECT_EQ(take(), (std::vector<std::string>{"object-change 1 shroom1.rwx",
                                              "object-change 2 shroome.rwx create solid no,visible no",
                                              "teleport 7 5 0 0 1"}));
  // An event's attributes reach the handler as the world set them, and what
  // the handler sets stays set in the world.
  std::string seen;
  struct Probe : WorldEvents {
    std::function<void()> chat;
    void onAvatarAdd() override {}
    void onChat() override { chat(); }
    void onAvatarClick() override {}
    void onObjectClick() override {}
    void onCellBegin() override {}
    void onCellObject() override {}
    void onObjectAdd() override {}
    void onObjectDelete() override {}
    void onQueryComplete() override {}
  } probe;
  probe.chat = [&] {
    seen = held.AvatarName + " " + std::to_string(held.ChatSession) + " " + held.ChatMessage;
    held.ObjectModel = "set by the handler";
  };
  held.setEventHandler(&probe);
  world.queueChat("Cy", 4, "hello");
  held.Wait(0);
  EXPECT_EQ(seen, "Cy 4 hello");
  EXPECT_EQ(world.ObjectModel, "set by the handler");
  held.setEventHandler(router.get());
}

TEST_F(GroupCommitTest, ANestedPumpFirstWritesAndSendsWhatTheRoundHolds) {
  queueArrival("Bob");
  router->timawwaitTick();
  take();
  router->consoleAction("nested pump", [&] {
    form->roster[0].gold = 77;
    savestats(*form);
    form->sdk.Whisper(3, "first");
    world.queueChat("Bob", 3, "/stats");
    form->sdk.Wait(0);  // as the player-versus-player round does
    form->sdk.Whisper(3, "last");
  });
  const auto calls = take();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], "save stats.txt");
  EXPECT_EQ(calls[1], "whisper 3 first");
  EXPECT_EQ(calls[2].rfind("whisper 3 ", 0), 0u);  // the two lines of /stats
  EXPECT_EQ(calls[4], "whisper 3 last");
}

TEST_F(GroupCommitTest, ReloadReadsWhatTheSameRoundSaved) {
  queueArrival("Ann");
  queueArrival("Bob");
  world.queueChat("Ann", 2, "RELOAD");
  router->timawwaitTick();
  EXPECT_EQ(form->playerCount, 2);
  EXPECT_EQ(take(), (std::vector<std::string>{"save stats.txt", "say Stats reloaded"}));
}

// The saves of a round hold the bytes of the last save asked for: a change
// that no save followed stays out of the file, exactly as when every save
// is written at once.
TEST(GroupCommit, WritesTheSameFilesAsSavingAtOnce) {
  struct Case {
    const char* what;
    std::function<void(GameFixture&)> setUp;
    std::function<void(Form1&)> play;
    std::function<void(GameFixture&)> checkAtOnce;
  };
  const Case cases[] = {
      // A reward of two billion experience to Win, who then cannot take the
      // second level's strength point: the run of level-ups fails part-way.
      {"a level-up run that fails part-way",
       [](GameFixture& g) {
         g.givenPlayer("Win").withStrength(INT_MAX - 1).withExp(INT_MAX);
         g.givenPlayer("Los");
       },
       [](Form1& form) {
         combat::addpvp(form, "Los", "Win", 3, 2);  // Win attacks, and strikes first
         form.roster[1].hp = 1;
         combat::battleTick(form);
       },
       [](GameFixture& g) {
         ASSERT_EQ(g.form->roster[0].level, 3);  // the failed run kept its changes in memory
         // The file holds the first level-up, not the half-made second.
         EXPECT_NE(g.statsFile(), formatStatsFile(g.form->roster, 2));
       }},
      // Slot 0: Win beats the monster at once and saves; slot 1: a monster
      // hits Hit, whose hit points nobody saves this tick.
      {"a blow after another fight's save",
       [](GameFixture& g) {
         g.givenPlayer("Win").record().strength = 50;
         PlayerRecord& hit = g.givenPlayer("Hit").record();
         hit.hp = hit.maxHp = 1000;
       },
       [](Form1& form) {
         combat::addbattle(form, -1000, 1, "Rat", 1, 5, 5, "Win", 0, 2);
         combat::addbattle(form, 0, 100, "Ogre", 5, 5, 5, "Hit", 1, 3);
         form.battles[1].turn = 1;
         combat::battleTick(form);
       },
       [](GameFixture& g) {
         ASSERT_LT(g.form->roster[1].hp, 1000);
         ASSERT_EQ(g.form->battles[0].name1, "");  // the first fight is over and saved
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameFixture atOnce;
    c.setUp(atOnce);
    c.play(*atOnce.form);
    c.checkAtOnce(atOnce);

    GameFixture grouped;
    c.setUp(grouped);
    grouped.router->consoleAction("battle", [&] { c.play(*grouped.form); });
    EXPECT_EQ(grouped.form->roster[0], atOnce.form->roster[0]);
    EXPECT_EQ(grouped.form->roster[1], atOnce.form->roster[1]);
    EXPECT_EQ(grouped.files.files, atOnce.files.files);
  }
}

}  // namespace
}  // namespace kelva::testing
