// Objects the bots change are kept in the world's store: they still stand
// after a restart, reset-objects forgets them (never beside a running
// world), and a change that cannot be written is refused and not shown.
#include "world/store/object_changes.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "support/temp_folder.h"
#include "world/core/world_core.h"
#include "world/server_fixture.h"

namespace kelva::world {
namespace {

using json = nlohmann::json;
using kelva::testing::LineClient;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;

std::string changeCall(int number, int oldX, int oldZ, int x, int z, const std::string& description,
                       const std::string& action) {
  return json{{"call", "ObjectChange"}, {"ObjectOldNumber", number}, {"ObjectOldX", oldX}, {"ObjectOldZ", oldZ},
              {"ObjectX", x}, {"ObjectY", 5}, {"ObjectZ", z}, {"ObjectYaw", 90}, {"ObjectOwner", 7},
              {"ObjectModel", "changed.rwx"}, {"ObjectDescription", description}, {"ObjectAction", action}}
      .dump();
}

// The objects a bot finds around sector (0, 0), by number.
std::map<int, json> queried(LineClient& bot) {
  bot.send(R"({"call":"Query","sectorX":0,"sectorZ":0,"sequence":[0,0,0,0,0,0,0,0,0]})");
  std::map<int, json> found;
  while (auto line = bot.readLine()) {
    json event = json::parse(*line);
    if (event["event"] == "query-complete") break;
    if (event.contains("ObjectNumber")) found[event["ObjectNumber"].get<int>()] = event;
  }
  return found;
}

TEST(ObjectChanges, ChangesStandAfterARestartUntilResetObjectsForgetsThem) {
  TempFolder dir("object_changes_restart");
  const std::string data = (dir.path / "data").string();
  {
    ServerRunner first(kelva::testing::demoDefinition(), ServerRunner::freePortsIn(dir.path));
    ASSERT_TRUE(first.started()) << first.log();
    LineClient bot(first.botPort());
    ASSERT_EQ(kelva::testing::logInBot(bot)["rc"], 0);
    // A picked shroom, and a troll moved into another cell and changed twice:
    // the last change is the one that stands.
    bot.send(changeCall(2, -500, 800, -500, 800, "A magic shroom", "create solid no,visible no"));
    bot.send(changeCall(1, 1200, 300, 2500, 300, "A troll", ""));
    bot.send(changeCall(1, 2500, 300, 2600, 400, "A tired troll", "create color red"));
    ASSERT_TRUE(bot.waitForContaining("A tired troll"));

    // The world is running on the folder: the changes are not forgotten.
    Result<std::size_t> refused = resetObjects(data);
    ASSERT_FALSE(refused.isOk());
    EXPECT_NE(refused.status().message().find("a world is running on"), std::string::npos)
        << refused.status().message();
  }
  {
    ServerRunner second(kelva::testing::demoDefinition(), ServerRunner::freePortsIn(dir.path));
    ASSERT_TRUE(second.started()) << second.log();
    LineClient bot(second.botPort());
    ASSERT_EQ(kelva::testing::logInBot(bot)["rc"], 0);
    std::map<int, json> objects = queried(bot);
    ASSERT_EQ(objects.count(1), 1u);
    ASSERT_EQ(objects.count(2), 1u);
    EXPECT_EQ(objects[2]["ObjectAction"], "create solid no,visible no");
    const json troll = json::parse(changeCall(1, 2500, 300, 2600, 400, "A tired troll", "create color red"));
    for (const char* field : {"ObjectX", "ObjectY", "ObjectZ", "ObjectYaw", "ObjectOwner", "ObjectModel",
                              "ObjectDescription", "ObjectAction"})
      EXPECT_EQ(objects[1][field], troll[field]) << field;
  }

  Result<std::size_t> forgotten = resetObjects(data);
  ASSERT_TRUE(forgotten.isOk()) << forgotten.status().message();
  EXPECT_EQ(forgotten.value(), 2u);

  ServerRunner third(kelva::testing::demoDefinition(), ServerRunner::freePortsIn(dir.path));
  ASSERT_TRUE(third.started()) << third.log();
  LineClient bot(third.botPort());
  ASSERT_EQ(kelva::testing::logInBot(bot)["rc"], 0);
  std::map<int, json> objects = queried(bot);
  EXPECT_EQ(objects[2]["ObjectAction"], "");
  EXPECT_EQ(objects[1]["ObjectX"], 1200);
  EXPECT_EQ(objects[1]["ObjectDescription"], "A troll");
}

TEST(ObjectChanges, ResetObjectsNeedsAStoreAndAKeptObjectTheFileLostIsSkipped) {
  TempFolder dir("object_changes_reset");
  std::filesystem::create_directories(dir.path / "data");
  Result<std::size_t> none = resetObjects((dir.path / "data").string());
  ASSERT_FALSE(none.isOk());
  EXPECT_NE(none.status().message().find("no world store"), std::string::npos) << none.status().message();
  EXPECT_FALSE(std::filesystem::exists(dir.path / "data" / "world.db"));

  {
    auto store = AccountStore::open(AccountStore::pathIn((dir.path / "data").string()));
    ASSERT_TRUE(store.isOk());
    WorldObject gone{99, "old.rwx", "Gone", "", 0, 0, 0, 0, 0, {}};
    ASSERT_TRUE(ObjectChanges(*store.value()).keep(gone).isOk());
  }
  ServerRunner runner(kelva::testing::demoDefinition(), ServerRunner::freePortsIn(dir.path));
  ASSERT_TRUE(runner.started()) << runner.log();
  EXPECT_NE(runner.log().find("object 99 was changed by a bot but is no longer in the world file"), std::string::npos)
      << runner.log();
}

// A change the store cannot write (a full disk) is refused with a reason,
// nobody sees it, and the world takes the next change once there is room.
TEST(ObjectChanges, AChangeThatCannotBeKeptIsRefusedAndNotShown) {
  TempFolder dir("object_changes_full");
  auto opened = AccountStore::open((dir.path / "world.db").string());
  ASSERT_TRUE(opened.isOk());
  AccountStore& store = *opened.value();
  WorldDefinition def = kelva::testing::demoDefinition();
  WorldCore core(def);
  core.useAccounts(store);
  auto link = std::make_shared<AvatarLink>();
  net::BotCall login;
  login.citizen = 1;
  login.password = "botpw";
  login.world = "Testworld";
  login.botName = "Kelva";
  WorldCore::BotLogin in = core.startBot(link, login);
  ASSERT_EQ(in.code, 0);

  net::BotCall change;
  change.kind = net::CallKind::kObjectChange;
  change.oldNumber = 2;
  change.oldX = -500;
  change.oldZ = 800;
  change.object = net::ObjectFields(-500, 0, 800, 0, 0, "shroom.rwx", std::string(6000, 'd'), "visible no");
  std::string note;
  store.capGrowth(0);
  std::string problem;
  for (int i = 0; i < 50 && problem.empty(); ++i) {
    const bool shroom = i % 2 == 0;
    change.oldNumber = shroom ? 2 : 1;
    change.oldX = shroom ? -500 : 1200;
    change.oldZ = shroom ? 800 : 300;
    change.object.x = change.oldX;
    change.object.z = change.oldZ;
    change.object.description[0] = static_cast<char>('a' + i % 26);
    const WorldObject before = *core.world().find(change.oldNumber);
    problem = core.objectChange(in.session, change, note);
    // A refused change leaves the object as it was.
    if (!problem.empty()) {
      EXPECT_EQ(*core.world().find(change.oldNumber), before);
    }
  }
  ASSERT_FALSE(problem.empty()) << "the store never filled up";
  EXPECT_NE(problem.find("disk is full"), std::string::npos) << problem;

  store.capGrowth(100);
  change.object.description = "Room again";
  EXPECT_EQ(core.objectChange(in.session, change, note), "");
  EXPECT_EQ(core.world().find(change.oldNumber)->description, "Room again");
  Result<std::vector<WorldObject>> kept = ObjectChanges(store).all();
  ASSERT_TRUE(kept.isOk());
  bool found = false;
  for (const WorldObject& o : kept.value()) found = found || (o.number == change.oldNumber && o.description == "Room again");
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kelva::world
