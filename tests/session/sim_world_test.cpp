#include "session/sim_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelva {
namespace {

// Writes down every event the world delivers, with the attributes it set.
class EventLog : public WorldEvents {
 public:
  explicit EventLog(WorldSdk& sdk) : sdk_(sdk) { sdk.setEventHandler(this); }
  std::vector<std::string> events;
  std::function<void()> onChatAlso;

  void onAvatarAdd() override { events.push_back("arrive " + sdk_.AvatarName); }
  void onChat() override {
    events.push_back("chat " + sdk_.AvatarName + " " + std::to_string(sdk_.ChatSession) + " " + sdk_.ChatMessage);
    if (onChatAlso) onChatAlso();
  }
  void onAvatarClick() override {
    events.push_back("click-avatar " + sdk_.AvatarName + " " + std::to_string(sdk_.AvatarSession) + " " +
                     sdk_.ClickedName + " " + std::to_string(sdk_.ClickedSession));
  }
  void onObjectClick() override {
    events.push_back("click-object " + sdk_.AvatarName + " " + std::to_string(sdk_.AvatarSession) + " " +
                     std::to_string(sdk_.ObjectNumber));
  }
  void onCellBegin() override { events.push_back("cell " + cell()); }
  void onCellObject() override { events.push_back("object " + object()); }
  void onObjectAdd() override { events.push_back("add " + cell() + " " + object()); }
  void onObjectDelete() override { events.push_back("delete " + cell() + " " + object()); }
  void onQueryComplete() override { events.push_back(sdk_.QueryComplete ? "complete" : "incomplete"); }

  std::vector<std::string> take() {
    auto out = std::move(events);
    events.clear();
    return out;
  }

 private:
  std::string cell() const {
    return std::to_string(sdk_.CellX) + "," + std::to_string(sdk_.CellZ) + "#" + std::to_string(sdk_.CellSequence);
  }
  std::string object() const {
    std::string s = std::to_string(sdk_.ObjectNumber) + " " + sdk_.ObjectModel;
    if (!sdk_.ObjectAction.empty()) s += " [" + sdk_.ObjectAction + "]";
    return s;
  }
  WorldSdk& sdk_;
};

SimObject object(int32_t number, const std::string& model, int32_t x, int32_t z, const std::string& action = "") {
  SimObject o;
  o.number = number;
  o.model = model;
  o.x = x;
  o.z = z;
  o.action = action;
  return o;
}

class SimWorldTest : public ::testing::Test {
 protected:
  std::vector<std::string> lines;
  SimWorld world{[this](const std::string& line) { lines.push_back(line); }};
  EventLog log{world};
  CellSequenceTable sequence{};

  void login() {
    ASSERT_EQ(world.StartBot(1, "pw", "Bot", "Kelvabot", "Demo", 0, 0, 0, 0, 251), 0);
  }
  // Queries the sectors around (0, 0) and delivers the answer.
  std::vector<std::string> query() {
    world.Query(0, 0, sequence);
    world.Wait(0);
    return log.take();
  }
};

TEST(SimWorldGeometry, CellsAndSectorsRoundTowardsMinusInfinity) {
  EXPECT_EQ(cellOf(0), 0);
  EXPECT_EQ(cellOf(999), 0);
  EXPECT_EQ(cellOf(1000), 1);
  EXPECT_EQ(cellOf(-1), -1);
  EXPECT_EQ(cellOf(-1000), -1);
  EXPECT_EQ(cellOf(-1001), -2);
  EXPECT_EQ(cellOf(-1500), -2);
  SimWorld world{[](const std::string&) {}};
  EXPECT_EQ(world.SectorFromCell(7), 0);
  EXPECT_EQ(world.SectorFromCell(8), 1);
  EXPECT_EQ(world.SectorFromCell(-1), -1);
  EXPECT_EQ(world.SectorFromCell(-8), -1);
  EXPECT_EQ(world.SectorFromCell(-9), -2);
  EXPECT_EQ(world.SectorFromCell(INT32_MIN), INT32_MIN / 8);
}

TEST_F(SimWorldTest, LoginSucceedsOnlyWithCodeZero) {
  world.setLoginResult(77);
  EXPECT_EQ(world.StartBot(1, "pw", "Bot", "Kelvabot", "Demo", 0, 0, 0, 0, 251), 77);
  EXPECT_FALSE(world.loggedIn());
  world.setLoginResult(0);
  login();
  EXPECT_TRUE(world.loggedIn());
}

TEST_F(SimWorldTest, QueryListsCellsOfTheNineSectorsInOrderWithObjectsByNumber) {
  world.putObject(object(9, "b", 1500, 0));      // cell (1, 0)
  world.putObject(object(3, "a", 1200, 300));    // cell (1, 0)
  world.putObject(object(5, "c", -1, 5000));     // cell (-1, 5)
  world.putObject(object(7, "d", -8000, -8000));  // cell (-8, -8): sector (-1, -1)
  world.putObject(object(8, "far", 16000, 0));   // cell (16, 0): sector 2, not around (0, 0)
  world.putObject(object(6, "far", 0, -9000));   // cell (0, -9): sector -2
  login();
  EXPECT_EQ(query(), (std::vector<std::string>{"cell -8,-8#1", "object 7 d", "cell -1,5#1", "object 5 c",
                                               "cell 1,0#2", "object 3 a", "object 9 b", "complete"}));
  EXPECT_EQ(lines, (std::vector<std::string>{"query 0 0 0 0 0 0 0 0 0 0 0"}));
}

TEST_F(SimWorldTest, QueryLinePassesTheSequenceNumbersInCallOrder) {
  sequence = {{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
  world.Query(-3, 12, sequence);
  EXPECT_EQ(lines, (std::vector<std::string>{"query -3 12 1 2 3 4 5 6 7 8 9"}));
}

TEST_F(SimWorldTest, QueryRoundsCutTheCellsIntoConsecutiveParts) {
  for (int i = 0; i < 5; ++i) world.putObject(object(i + 1, "m", i * 1000, 0));
  world.setQueryRounds(2);
  login();
  // Five cells in two rounds: floor(5/2) = 2 cells, then the other three.
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 0,0#1", "object 1 m", "cell 1,0#1", "object 2 m", "incomplete"}));
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 2,0#1", "object 3 m", "cell 3,0#1", "object 4 m", "cell 4,0#1",
                                               "object 5 m", "complete"}));
  // The next query starts again from the first part.
  EXPECT_EQ(query().size(), 5u);
}

TEST_F(SimWorldTest, MoreRoundsThanCellsGiveEmptyRounds) {
  world.putObject(object(1, "m", 0, 0));
  world.putObject(object(2, "m", 1000, 0));
  world.setQueryRounds(3);
  login();
  EXPECT_EQ(query(), (std::vector<std::string>{"incomplete"}));
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 0,0#1", "object 1 m", "incomplete"}));
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 1,0#1", "object 2 m", "complete"}));
}

TEST_F(SimWorldTest, AQueryInRoundsReportsTheObjectsOfItsFirstCallOnce) {
  world.putObject(object(1, "m", 0, 0));
  world.putObject(object(2, "m", 1000, 0));
  world.setQueryRounds(2);
  login();
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 0,0#1", "object 1 m", "incomplete"}));
  // An object that appears between the rounds is reported by its own event,
  // not by the rest of the query.
  world.putObject(object(3, "m", 1100, 0));
  EXPECT_EQ(query(), (std::vector<std::string>{"add 1,0#2 3 m", "cell 1,0#1", "object 2 m", "complete"}));
}

TEST_F(SimWorldTest, EveryAddDeleteAndChangeRaisesTheCellSequence) {
  world.putObject(object(1, "m", 0, 0));
  world.putObject(object(2, "m", 10, 10));
  EXPECT_EQ(world.cellSequenceOf(0, 0), 2);
  EXPECT_EQ(world.cellSequenceOf(5, 5), 0);
  login();
  // Replacing an object is a delete and an add.
  world.putObject(object(2, "n", 20, 20));
  EXPECT_TRUE(world.removeObject(1));
  EXPECT_FALSE(world.removeObject(1));
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{"delete 0,0#3 2 m", "add 0,0#4 2 n", "delete 0,0#5 1 m"}));
  EXPECT_EQ(world.cellSequenceOf(0, 0), 5);
}

TEST_F(SimWorldTest, BeforeLoginObjectsAreHeldWithoutEvents) {
  world.putObject(object(1, "m", 0, 0));
  world.putObject(object(1, "n", 0, 0));
  world.putObject(object(2, "m", 0, 0));
  EXPECT_TRUE(world.removeObject(2));
  EXPECT_EQ(world.pendingEventCount(), 0u);
  ASSERT_NE(world.findObject(1), nullptr);
  EXPECT_EQ(world.findObject(1)->model, "n");
  EXPECT_EQ(world.findObject(2), nullptr);
}

TEST_F(SimWorldTest, ObjectChangeKeepsTheNumberAndComesBackAsDeleteThenAdd) {
  world.putObject(object(4, "shroom.rwx", 100, 200));
  login();
  world.ObjectOldNumber = 4;
  world.ObjectX = 100;
  world.ObjectZ = 200;
  world.ObjectModel = "shroom.rwx";
  world.ObjectAction = "create solid no,visible no";
  world.ObjectChange();
  world.ObjectModel = "shroom1.rwx";
  world.ObjectAction = "";
  world.ObjectChange();
  EXPECT_EQ(lines, (std::vector<std::string>{"object-change 4 shroom.rwx create solid no,visible no",
                                             "object-change 4 shroom1.rwx"}));
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{
                            "delete 0,0#2 4 shroom.rwx", "add 0,0#3 4 shroom.rwx [create solid no,visible no]",
                            "delete 0,0#4 4 shroom.rwx [create solid no,visible no]", "add 0,0#5 4 shroom1.rwx"}));
  EXPECT_EQ(world.findObject(4)->model, "shroom1.rwx");
}

TEST_F(SimWorldTest, ObjectChangeToAnotherCellRaisesBothCells) {
  world.putObject(object(4, "m", 100, 200));
  login();
  world.ObjectOldNumber = 4;
  world.ObjectX = 3100;
  world.ObjectZ = 200;
  world.ObjectModel = "m";
  world.ObjectChange();
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{"delete 0,0#2 4 m", "add 3,0#1 4 m"}));
}

TEST_F(SimWorldTest, ObjectChangeOfAnUnknownNumberOnlyShowsTheCall) {
  login();
  world.ObjectOldNumber = 99;
  world.ObjectModel = "m";
  world.ObjectChange();
  EXPECT_EQ(lines, (std::vector<std::string>{"object-change 99 m"}));
  EXPECT_EQ(world.pendingEventCount(), 0u);
}

TEST_F(SimWorldTest, WaitDeliversOnlyTheEventsPendingWhenCalled) {
  world.queueChat("Ann", 7, "first");
  world.queueAvatarArrival("Bob");
  log.onChatAlso = [this] {
    if (world.ChatMessage == "first") world.queueChat("Cy", 9, "later");
  };
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{"chat Ann 7 first", "arrive Bob"}));
  EXPECT_EQ(world.pendingEventCount(), 1u);
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{"chat Cy 9 later"}));
}

TEST_F(SimWorldTest, ClickEventsSetTheirAttributes) {
  world.queueObjectClick("Ann", 7, 1234);
  world.queueAvatarClick("Ann", 7, "Bob", 8);
  world.Wait(0);
  EXPECT_EQ(log.take(), (std::vector<std::string>{"click-object Ann 7 1234", "click-avatar Ann 7 Bob 8"}));
}

TEST_F(SimWorldTest, VisibleCallsBecomeTranscriptLines) {
  world.Whisper(7, "hello there");
  world.Say("Complete");
  world.TeleportX = -5;
  world.TeleportY = 0;
  world.TeleportZ = 12;
  world.TeleportWarp = true;
  world.Teleport(7);
  world.TeleportWarp = false;
  world.Teleport(8);
  world.Destroy();
  world.Term();
  EXPECT_EQ(lines, (std::vector<std::string>{"whisper 7 hello there", "say Complete", "teleport 7 -5 0 12 1",
                                             "teleport 8 -5 0 12 0", "destroy", "term"}));
}

TEST_F(SimWorldTest, SleepHookSeesEveryWait) {
  std::vector<int32_t> waits;
  world.Wait(0);
  world.setSleepHook([&](int32_t ms) { waits.push_back(ms); });
  world.Wait(1000);
  world.Wait(0);
  EXPECT_EQ(waits, (std::vector<int32_t>{1000, 0}));
}

}  // namespace
}  // namespace kelva
