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

  void onAvatarAdd() override {}
  void onChat() override {}
  void onAvatarClick() override {}
  void onObjectClick() override {}
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
  std::string object() const { return std::to_string(sdk_.ObjectNumber) + " " + sdk_.ObjectModel; }
  WorldSdk& sdk_;
};

WorldObject object(int32_t number, const std::string& model, int32_t x, int32_t z) {
  WorldObject o;
  o.number = number;
  o.model = model;
  o.x = x;
  o.z = z;
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
  EXPECT_EQ(cellOf(999), 0);
  EXPECT_EQ(cellOf(1000), 1);
  EXPECT_EQ(cellOf(-1000), -1);
  EXPECT_EQ(cellOf(-1001), -2);
  SimWorld world{[](const std::string&) {}};
  EXPECT_EQ(world.SectorFromCell(7), 0);
  EXPECT_EQ(world.SectorFromCell(-8), -1);
  EXPECT_EQ(world.SectorFromCell(-9), -2);
  EXPECT_EQ(world.SectorFromCell(INT32_MIN), INT32_MIN / 8);
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
  // The next query starts again from the first part.
  EXPECT_EQ(query(), (std::vector<std::string>{"cell 0,0#1", "object 1 m", "incomplete"}));
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

}  // namespace
}  // namespace kelva
