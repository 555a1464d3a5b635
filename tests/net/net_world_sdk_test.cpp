#include "net/net_world_sdk.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "world/server_fixture.h"

namespace kelva::net {
namespace {

using kelva::testing::enter;
using kelva::testing::LineClient;
using kelva::testing::ServerRunner;
using kelva::testing::SharedLog;

// Writes down each event as the bot would see it, from the attributes.
class EventLog : public WorldEvents {
 public:
  explicit EventLog(WorldSdk& sdk) : sdk_(sdk) {}
  std::vector<std::string> seen;

  void onAvatarAdd() override { seen.push_back("arrive " + sdk_.AvatarName); }
  void onChat() override {
    seen.push_back("chat " + sdk_.AvatarName + " " + std::to_string(sdk_.ChatSession) + " " + sdk_.ChatMessage);
  }
  void onObjectClick() override {
    seen.push_back("object-click " + sdk_.AvatarName + " " + std::to_string(sdk_.ObjectNumber));
  }
  void onCellObject() override { seen.push_back("cell-object " + std::to_string(sdk_.ObjectNumber)); }
  void onAvatarClick() override {}
  void onCellBegin() override {}
  void onObjectAdd() override {}
  void onObjectDelete() override {}
  void onQueryComplete() override { seen.push_back(std::string("query-complete ") + (sdk_.QueryComplete ? "1" : "0")); }

 private:
  WorldSdk& sdk_;
};

NetOptions optionsFor(uint16_t port, std::ostream* log) {
  NetOptions o;
  o.port = std::to_string(port);
  o.firstBackoff = std::chrono::milliseconds(100);
  o.longestBackoff = std::chrono::milliseconds(400);
  o.connectWindow = std::chrono::milliseconds(500);
  o.log = log;
  return o;
}

int32_t login(NetWorldSdk& sdk, const std::string& password = "botpw") {
  sdk.Init(22);
  return sdk.StartBot(1, password, "Kelvabot", "Kelvabot", "Testworld", 0, 0, 0, 0, 251);
}

class NetWorldSdkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.started()); }
  ServerRunner server;
  SharedLog logBuffer;
  std::ostream log{&logBuffer};
};

TEST_F(NetWorldSdkTest, EventsArriveOnlyInsideWaitInOrderWithTheirAttributes) {
  NetWorldSdk sdk(optionsFor(server.botPort(), &log));
  EventLog events(sdk);
  sdk.setEventHandler(&events);
  ASSERT_EQ(login(sdk), 0);
  EXPECT_TRUE(sdk.online());

  LineClient bob(server.playerPort());
  enter(bob, "Bob");
  bob.send("/stats");
  bob.send("/equipment");
  bob.send(".click 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(events.seen.empty());  // nothing is delivered outside Wait

  sdk.Wait(0);
  ASSERT_EQ(events.seen.size(), 4u);
  int session = sdk.ChatSession;
  EXPECT_EQ(events.seen[0], "arrive \"Bob\"");
  EXPECT_EQ(events.seen[1], "chat \"Bob\" " + std::to_string(session) + " /stats");
  EXPECT_EQ(events.seen[2], "chat \"Bob\" " + std::to_string(session) + " /equipment");
  EXPECT_EQ(events.seen[3], "object-click \"Bob\" 1");

  // The bot's calls reach the world.
  sdk.TeleportX = 0;
  sdk.TeleportY = 100;
  sdk.TeleportZ = 0;
  sdk.Teleport(session);
  EXPECT_TRUE(bob.waitForLine("* You are moved to 0 100 0."));
  EXPECT_EQ(sdk.SectorFromCell(-9), -2);
}

TEST_F(NetWorldSdkTest, RefusedAndUnreachableLoginsGiveNonZeroCodes) {
  NetWorldSdk refused(optionsFor(server.botPort(), &log));
  EXPECT_EQ(login(refused, "wrong"), 1);
  EXPECT_FALSE(refused.online());

  uint16_t closedPort = server.playerPort();
  server.stop();
  NetWorldSdk unreachable(optionsFor(closedPort, &log));
  EXPECT_EQ(login(unreachable), NetWorldSdk::kUnreachable);
  EXPECT_NE(logBuffer.text().find("cannot reach the world server"), std::string::npos);
}

TEST(NetWorldSdkReconnect, ALostWorldIsReportedAndTheBotLogsInAgainAndRequeries) {
  SharedLog logBuffer;
  std::ostream log(&logBuffer);
  auto first = std::make_unique<ServerRunner>();
  ASSERT_TRUE(first->started());
  world::ServerOptions samePorts = ServerRunner::freePorts();
  samePorts.playerPort = first->playerPort();
  samePorts.botPort = first->botPort();

  NetWorldSdk sdk(optionsFor(first->botPort(), &log));
  EventLog events(sdk);
  sdk.setEventHandler(&events);
  int hooks = 0;
  sdk.setReconnectHook([&] {
    ++hooks;
    CellSequenceTable sequence{};
    sdk.Query(0, 0, sequence);  // what the bot does: look around afresh
  });
  ASSERT_EQ(login(sdk), 0);

  first.reset();  // the world goes away
  for (int i = 0; i < 20 && sdk.online(); ++i) sdk.Wait(50);
  EXPECT_FALSE(sdk.online());
  sdk.Say("nobody hears this");  // dropped, and said so
  sdk.Wait(100);

  ServerRunner second(testing::demoDefinition(), samePorts);
  ASSERT_TRUE(second.started());
  for (int i = 0; i < 60 && hooks == 0; ++i) sdk.Wait(50);
  EXPECT_EQ(hooks, 1);
  EXPECT_TRUE(sdk.online());
  // The hook's query is answered by the new world.
  for (int i = 0; i < 40 && events.seen.size() < 3; ++i) sdk.Wait(50);
  EXPECT_EQ(events.seen, (std::vector<std::string>{"cell-object 2", "cell-object 1", "query-complete 1"}));
  EXPECT_NE(logBuffer.text().find("calls are dropped"), std::string::npos) << logBuffer.text();
}

}  // namespace
}  // namespace kelva::net
