#include "world/ports/world_server.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "world/server_fixture.h"

namespace kelva::world {
namespace {

using kelva::testing::enter;
using kelva::testing::LineClient;
using kelva::testing::logInBot;
using kelva::testing::ServerRunner;
using kelva::testing::startBotLine;
using nlohmann::json;

std::optional<json> nextEvent(LineClient& bot, const std::string& kind) {
  auto line = bot.waitFor([&](const std::string& l) { return json::parse(l).value("event", "") == kind; });
  if (!line) return std::nullopt;
  return json::parse(*line);
}

class WorldServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.started()) << server.log(); }
  ServerRunner server;
};

TEST_F(WorldServerTest, WrongCitizenPasswordOrWorldIsRefusedWithACode) {
  LineClient bot(server.botPort());
  EXPECT_EQ(logInBot(bot, "botpw", 2)["rc"], 1);
  bot.send(startBotLine("botpw", 1, "Otherworld"));
  EXPECT_EQ(kelva::testing::nextReply(bot)["rc"], 2);
  // Nothing but Init, Wait, SectorFromCell and StartBot works before a login.
  bot.send(R"({"call":"Say","text":"hi"})");
  EXPECT_TRUE(bot.waitForContaining("before StartBot"));
  json ok = logInBot(bot);
  EXPECT_EQ(ok["rc"], 0);
  EXPECT_GT(ok["session"].get<int>(), 0);
}

TEST_F(WorldServerTest, ChatReachesNearbyPlayersAndCommandsOnlyTheBotAndTheSpeaker) {
  LineClient bot(server.botPort());
  ASSERT_EQ(logInBot(bot)["rc"], 0);
  LineClient ann(server.playerPort());
  enter(ann, "Ann", "annpw");
  LineClient bob(server.playerPort());
  enter(bob, "Bob");
  LineClient cat(server.playerPort());
  enter(cat, "Cat");
  cat.send(".move 500000 0");
  ASSERT_TRUE(cat.waitForLine("* You are at 500000 0 0."));

  ann.send("/stats  ");
  auto chat = nextEvent(bot, "chat");
  ASSERT_TRUE(chat);
  EXPECT_EQ((*chat)["ChatMessage"], "/stats  ");
  // The echo waits for the answer and comes first; an unanswered command is
  // echoed all the same.
  bot.send(R"({"call":"Whisper","session":)" + std::to_string((*chat)["AvatarSession"].get<int>()) +
           R"(,"text":"your stats"})");
  EXPECT_TRUE(ann.waitForLine("Ann: /stats  "));
  EXPECT_EQ(ann.readLine(), "Kelvabot whispers: your stats");
  ann.send("/unanswered");
  EXPECT_EQ(ann.readLine(), "Ann: /unanswered");
  ann.send("hello all");
  // The first line Bob hears from Ann is her chat, not her command.
  EXPECT_EQ(bob.waitFor([](const std::string& l) { return l.rfind("Ann:", 0) == 0; }), "Ann: hello all");
  // The speaker sees a tell as told (that a bot hears it as chat is the core's test).
  bob.send(".tell Kelvabot bmessage: hi");
  EXPECT_TRUE(bob.waitForLine("You tell Kelvabot: bmessage: hi"));
  // The bot's say reaches everyone, far or near.
  bot.send(R"({"call":"Say","text":"Complete"})");
  EXPECT_TRUE(cat.waitForLine("Kelvabot: Complete"));
}

TEST_F(WorldServerTest, ClicksReachTheBotOnlyWhileItListens) {
  LineClient bot(server.botPort());
  ASSERT_EQ(logInBot(bot)["rc"], 0);
  LineClient ann(server.playerPort());
  enter(ann, "Ann", "annpw");
  LineClient bob(server.playerPort());
  enter(bob, "Bob");

  ann.send(".click 3");  // too far away
  EXPECT_TRUE(ann.waitForLine("* There is no object 3 near you."));
  ann.send(".attack Bob");  // a guest's name is in quotes
  EXPECT_TRUE(ann.waitForContaining("nobody called Bob"));
  ann.send(".attack \"Bob\"");
  auto attack = nextEvent(bot, "avatar-click");
  ASSERT_TRUE(attack);
  EXPECT_EQ((*attack)["ClickedName"], "\"Bob\"");

  // While the bot has object clicks off, the player hears that it is busy.
  bot.send(R"({"call":"EventOff","event":17})");
  bot.send(R"({"call":"SectorFromCell","id":9,"cell":0})");  // a round trip: the switch is in place
  ASSERT_TRUE(bot.waitForContaining("\"SectorFromCell\""));
  ann.send(".click 1");
  EXPECT_TRUE(ann.waitForLine("* The bot is busy; click again."));
  bot.send(R"({"call":"EventOn","event":17})");
  bot.send(R"({"call":"EventOff","event":99})");
  EXPECT_TRUE(bot.waitForContaining("there is no event 99"));
  ann.send(".click 1");
  auto click = nextEvent(bot, "object-click");
  ASSERT_TRUE(click);
  EXPECT_EQ((*click)["ObjectNumber"], 1);
}

// A change is a deletion then an addition, each raising the cell's sequence.
TEST_F(WorldServerTest, AnObjectChangeIsADeleteThenAnAddAndAMissingObjectIsRefused) {
  LineClient bot(server.botPort());
  ASSERT_EQ(logInBot(bot)["rc"], 0);
  bot.send(
      R"({"call":"ObjectChange","ObjectOldNumber":2,"ObjectOldX":-500,"ObjectOldZ":800,"ObjectX":-500,"ObjectY":0,)"
      R"("ObjectZ":800,"ObjectYaw":0,"ObjectOwner":0,"ObjectModel":"shroom.rwx","ObjectDescription":"A magic shroom",)"
      R"("ObjectAction":"create solid no,visible no"})");
  auto deleted = nextEvent(bot, "object-delete");
  ASSERT_TRUE(deleted);
  EXPECT_EQ((*deleted)["ObjectNumber"], 2);
  EXPECT_EQ((*deleted)["CellSequence"], 2);
  auto added = bot.readLine();
  ASSERT_TRUE(added);
  json add = json::parse(*added);
  EXPECT_EQ(add["event"], "object-add");
  EXPECT_EQ(add["ObjectAction"], "create solid no,visible no");
  EXPECT_EQ(add["CellSequence"], 3);

  bot.send(R"({"call":"ObjectChange","ObjectOldNumber":77,"ObjectOldX":0,"ObjectOldZ":0,"ObjectX":0,"ObjectY":0,)"
           R"("ObjectZ":0,"ObjectYaw":0,"ObjectOwner":0,"ObjectModel":"m","ObjectDescription":"","ObjectAction":""})");
  EXPECT_TRUE(bot.waitForContaining("no object 77"));
}

TEST_F(WorldServerTest, ABotArrivingLaterMeetsThePlayersAlreadyThere) {
  LineClient ann(server.playerPort());
  enter(ann, "Ann", "annpw");
  LineClient bot(server.botPort());
  ASSERT_EQ(logInBot(bot)["rc"], 0);
  auto arrival = nextEvent(bot, "avatar-arrival");
  ASSERT_TRUE(arrival);
  EXPECT_EQ((*arrival)["AvatarName"], "Ann");

  // Logging the same citizen in again replaces the old connection.
  LineClient second(server.botPort());
  ASSERT_EQ(logInBot(second)["rc"], 0);
  EXPECT_TRUE(bot.closedByServer());
}

// Bad lines are refused and the connection goes on.
TEST_F(WorldServerTest, BadLinesAreRefusedAndTheConnectionGoesOn) {
  LineClient bot(server.botPort());
  bot.send("{\"call\":");
  EXPECT_TRUE(bot.waitForContaining("malformed message"));
  bot.send(std::string(net::kMaxBotLine + 10, 'x'));
  EXPECT_TRUE(bot.waitForContaining("longer than"));
  EXPECT_EQ(logInBot(bot)["rc"], 0);

  LineClient ann(server.playerPort());
  ASSERT_TRUE(ann.waitForLine("* What is your name?"));
  // A lone CR ends the name at once, with no LF ever coming.
  ann.sendRaw("Ann\r");
  ASSERT_TRUE(ann.waitForContaining("* Ann is a registered name. Password?"));
  ann.sendRaw("annpw\r\n");
  ASSERT_TRUE(ann.waitForContaining("You are Ann,"));
  ann.send("bad \x1b[2J");
  EXPECT_TRUE(ann.waitForContaining("control character"));
}

// A world where a player may type as fast as a test can send, and each
// connection may fall `outputLimit` bytes behind.
ServerOptions floodableOptions(std::size_t outputLimit) {
  ServerOptions options = ServerRunner::freePorts();
  options.limits.playerOutputLimit = outputLimit;
  options.limits.playerLinesPerSecond = 1e6;
  options.limits.playerLineBurst = 1e6;
  return options;
}

// A world under `options` with the bot logged in and Ann in it.
struct BotAndAnn {
  explicit BotAndAnn(const ServerOptions& options)
      : server(kelva::testing::demoDefinition(), options), bot(server.botPort()), ann(server.playerPort()) {
    EXPECT_TRUE(server.started()) << server.log();
    EXPECT_EQ(logInBot(bot)["rc"], 0);
    enter(ann, "Ann", "annpw");
  }
  ServerRunner server;
  LineClient bot;
  LineClient ann;
};

TEST(WorldServerLimits, AClientThatNeverReadsIsDisconnectedAndOthersGoOn) {
  ServerRunner server(kelva::testing::demoDefinition(), floodableOptions(64 * 1024));
  ASSERT_TRUE(server.started());
  LineClient sleeper(server.playerPort());
  enter(sleeper, "Sleeper");
  LineClient ann(server.playerPort());
  enter(ann, "Ann", "annpw");
  // Ann's lines fill the sleeper's output once the socket buffers are full;
  // Ann herself reads everything and stays.
  std::string text(900, 'z');
  for (int i = 0; i < 20000 && server.log().find("does not read") == std::string::npos; ++i) ann.send(text);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_NE(server.log().find("player \"Sleeper\" (session 1) disconnected: it does not read"), std::string::npos)
      << server.log();
  ann.send(".who");
  // The world may still be working through Ann's flood (slow under the
  // sanitizers on a busy machine): her answer comes after it.
  EXPECT_TRUE(ann.waitForLine("* In the world: Ann (you)", std::chrono::seconds(30)));
}

TEST(WorldServerLimits, AReaderThatFallsBehindStillGetsEveryLineWholeAndInOrder) {
  ServerRunner server(kelva::testing::demoDefinition(), floodableOptions(32 * 1024 * 1024));
  ASSERT_TRUE(server.started());
  LineClient slow(server.playerPort());
  enter(slow, "Slow");
  LineClient ann(server.playerPort());
  enter(ann, "Ann", "annpw");
  ASSERT_TRUE(slow.waitForLine("* Ann arrives."));
  // More than the sockets' buffers hold: the kernel takes part of a round's
  // write and the rest must follow, in order, once the reader reads again.
  constexpr int kLines = 20000;
  for (int i = 0; i < kLines; ++i) ann.send(std::to_string(i) + " " + std::string(700, 'a' + i % 26));
  int next = 0;
  while (next < kLines) {
    std::optional<std::string> line = slow.readLine();
    ASSERT_TRUE(line) << "line " << next << " never came";
    ASSERT_EQ(*line, "Ann: " + std::to_string(next) + " " + std::string(700, 'a' + next % 26));
    ++next;
  }
  EXPECT_EQ(server.log().find("Slow\" (session 1) disconnected"), std::string::npos) << server.log();
}

TEST(WorldServerLimits, APlayerTypingTooFastLosesTheExtraLinesAndIsTold) {
  ServerOptions options = ServerRunner::freePorts();
  options.limits.playerLinesPerSecond = 1;
  options.limits.playerLineBurst = 3;
  BotAndAnn world(options);
  LineClient& bot = world.bot;
  LineClient& ann = world.ann;
  for (int i = 0; i < 10; ++i) ann.send("line " + std::to_string(i));
  EXPECT_TRUE(ann.waitForLine("* You are typing too fast; that line was dropped."));
  int chats = 0;
  while (auto line = bot.readLine(std::chrono::milliseconds(300)))
    if (json::parse(*line).value("event", "") == "chat") ++chats;
  EXPECT_EQ(chats, 3);
}

// The line limit counts a line's bytes without its end, whichever end it
// has; how the ends split lines is the line buffer's own test.
TEST(WorldServerLimits, ALineAtTheLimitIsTakenWhateverItsEndAndOneByteOverIsDropped) {
  ServerOptions options = floodableOptions(1 << 20);
  options.limits.maxPlayerLine = 20;
  BotAndAnn world(options);
  LineClient& bot = world.bot;
  LineClient& ann = world.ann;
  const std::string atLimit(20, 'a');
  const std::string over(21, 'o');
  const std::string tooLong = "* That line was too long (more than 20 bytes) and was dropped.";
  struct Case {
    std::string sent;
    std::vector<std::string> heard;
    bool dropped;
  };
  const Case cases[] = {
      {atLimit + "\r\n", {atLimit}, false},
      {atLimit + "\r", {atLimit}, false},
      {over + "\n", {}, true},
      {over + "\r", {}, true},
  };
  for (const Case& c : cases) {
    ann.sendRaw(c.sent + "mark\n");
    std::vector<std::string> chat;
    while (auto line = bot.readLine(std::chrono::milliseconds(2000))) {
      json e = json::parse(*line);
      if (e.value("event", "") != "chat") continue;
      if (e["ChatMessage"] == "mark") break;
      chat.push_back(e["ChatMessage"]);
    }
    EXPECT_EQ(chat, c.heard) << c.sent;
    std::vector<std::string> told = ann.drain(std::chrono::milliseconds(100));
    EXPECT_EQ(std::count(told.begin(), told.end(), tooLong), c.dropped ? 1 : 0) << c.sent;
  }
}

TEST(WorldServerLimits, TheWorldTurnsAwayPlayersPastItsSize) {
  ServerOptions options = ServerRunner::freePorts();
  options.maxPlayers = 1;
  ServerRunner server(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(server.started());
  LineClient first(server.playerPort());
  ASSERT_TRUE(first.waitForLine("* What is your name?"));
  LineClient second(server.playerPort());
  EXPECT_TRUE(second.waitForLine("* The world is full; please try again later."));
  EXPECT_TRUE(second.closedByServer());
}

}  // namespace
}  // namespace kelva::world
