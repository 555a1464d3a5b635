#include "net/net_world_sdk.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <streambuf>
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
    if (afterChat) afterChat();
  }
  std::function<void()> afterChat;
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

// Events reach the game only inside Wait, in order, with their attributes.
// The operator's list of who is online hears departures; the game does not,
// and a departure leaves the attributes the game reads as they were.
TEST_F(NetWorldSdkTest, EventsArriveOnlyInsideWaitAndDeparturesReachOnlyThePresenceHook) {
  NetWorldSdk sdk(optionsFor(server.botPort(), &log));
  EventLog events(sdk);
  sdk.setEventHandler(&events);
  std::vector<std::string> presence;
  sdk.setPresenceHook([&](NetWorldSdk::Presence what, const std::string& name, int32_t session) {
    const char* word = what == NetWorldSdk::Presence::kArrived ? "arrived " : what == NetWorldSdk::Presence::kLeft ? "left " : "reset ";
    presence.push_back(word + name + " " + std::to_string(session));
  });
  ASSERT_EQ(login(sdk), 0);
  EXPECT_TRUE(sdk.online());

  LineClient bob(server.playerPort());
  enter(bob, "Bob");
  {
    LineClient cat(server.playerPort());
    enter(cat, "Cat");
    bob.send("/stats");
    bob.send("/equipment");
    bob.send(".click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(events.seen.empty());  // nothing is delivered outside Wait
    sdk.Wait(0);
    const std::string bobChat = "chat \"Bob\" " + std::to_string(sdk.ChatSession);
    EXPECT_EQ(events.seen, (std::vector<std::string>{"arrive \"Bob\"", "arrive \"Cat\"", bobChat + " /stats",
                                                     bobChat + " /equipment", "object-click \"Bob\" 1"}));
    ASSERT_EQ(presence.size(), 2u);
    EXPECT_EQ(presence[0], "arrived \"Bob\" " + std::to_string(sdk.ChatSession));
    EXPECT_EQ(presence[1].rfind("arrived \"Cat\" ", 0), 0u);
    cat.send(".quit");
    for (int i = 0; i < 100 && presence.size() < 3; ++i) sdk.Wait(20);
  }
  ASSERT_EQ(presence.size(), 3u);
  EXPECT_EQ(presence[2], "left" + presence[1].substr(7));
  EXPECT_EQ(events.seen.size(), 5u);
  EXPECT_EQ(sdk.AvatarName, "\"Bob\"");

  // The bot's calls reach the world.
  sdk.TeleportX = 0;
  sdk.TeleportY = 100;
  sdk.TeleportZ = 0;
  sdk.Teleport(sdk.ChatSession);
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

// A world on the bot port that the test drives by hand: it answers the
// login, sends what the test gives it, and drops the bot when told.
class HandWorld {
 public:
  HandWorld() : acceptor_(io_, {boost::asio::ip::make_address("127.0.0.1"), 0}) {}
  uint16_t port() const { return acceptor_.local_endpoint().port(); }

  // Takes the bot's connection and answers its StartBot with `code` (0: logged in).
  bool acceptLogin(int32_t code = 0) {
    socket_.emplace(io_);
    boost::system::error_code ec = boost::asio::error::timed_out;
    acceptor_.async_accept(*socket_, [&](boost::system::error_code e) { ec = e; });
    io_.restart();
    if (io_.run_for(std::chrono::seconds(3)) == 0) {
      acceptor_.cancel();
      io_.restart();
      io_.run();
    }
    if (ec || !socket_->is_open()) return false;
    boost::asio::streambuf in;
    for (int lines = 0; lines < 4; ++lines) {
      boost::asio::read_until(*socket_, in, '\n', ec);
      if (ec) return false;
      std::istream stream(&in);
      std::string line;
      std::getline(stream, line);
      Result<BotCall> call = parseBotLine(line);
      if (call.isOk() && call.value().kind == CallKind::kStartBot) {
        send(encodeReply({CallKind::kStartBot, call.value().id, code, 7}) + "\n");
        return true;
      }
    }
    return false;
  }
  // The bot's first login, answered here.
  bool logIn(NetWorldSdk& sdk) {
    auto code = std::async(std::launch::async, [&] { return login(sdk); });
    return acceptLogin() && code.get() == 0;
  }
  void send(const std::string& bytes) { boost::asio::write(*socket_, boost::asio::buffer(bytes)); }
  void drop() { socket_.reset(); }

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  std::optional<boost::asio::ip::tcp::socket> socket_;
};

// `count` chat lines from Bob, numbered from `first`, as the world writes them.
std::string chats(int first, int count) {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    WorldEvent chat;
    chat.kind = EventKind::kChat;
    chat.set("AvatarName", "Bob").set("ChatSession", 3).set("ChatMessage", "line " + std::to_string(i));
    out += encodeEvent(chat) + "\n";
  }
  return out;
}

std::vector<std::string> chatTexts(int first, int count) {
  std::vector<std::string> out;
  for (int i = first; i < first + count; ++i) out.push_back("chat Bob 3 line " + std::to_string(i));
  return out;
}

// A log that can hold the thread writing to it until the test lets it go.
class GatedLog : public std::streambuf {
 public:
  void close() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
  }
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Whether a writer is held at the closed gate within three seconds.
  bool holdsAWriter() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(3), [&] { return held_; });
  }
  std::string text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  int overflow(int c) override {
    if (c != EOF) xsputn(reinterpret_cast<const char*>(&c), 1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = !open_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
    held_ = false;
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  bool held_ = false;
  std::string text_;
};

TEST(NetWorldSdkReconnect, ReadingPausedWhenTheWorldDropsResumesWithOneReadOnTheNewConnection) {
  GatedLog gate;
  std::ostream log(&gate);
  HandWorld world;
  NetOptions options = optionsFor(world.port(), &log);
  options.queueLimit = 40;
  NetWorldSdk sdk(options);
  EventLog events(sdk);
  sdk.setEventHandler(&events);
  int hooks = 0;
  sdk.setReconnectHook([&] { ++hooks; });
  ASSERT_TRUE(world.logIn(sdk));

  // The bot does not pump: past the limit the thread stops reading.
  world.send(chats(0, 100));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  world.drop();

  // While the bot takes the queue down, at the 70th event (30 left: below
  // the limit, yet above the half at which reading resumes) it finds the
  // world gone and logs in again, and the new connection reads on. Then the
  // link's thread is held while it logs a notice of the new world.
  bool held = false;
  events.afterChat = [&] {
    if (events.seen.size() != 70) return;
    for (int i = 0; i < 100 && sdk.online(); ++i) {
      sdk.Say("anyone?");  // only a failed write tells a paused connection that the world is gone
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    auto accepted = std::async(std::launch::async, [&] { return world.acceptLogin(); });
    for (int i = 0; i < 150 && !sdk.online(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!accepted.get()) return;
    gate.close();
    world.send(encodeNotice({"hold on"}) + "\n");
    held = gate.holdsAWriter();
  };
  sdk.Wait(0);
  events.afterChat = nullptr;
  gate.open();
  ASSERT_TRUE(held) << gate.text();
  ASSERT_EQ(events.seen.size(), 100u);

  // Taking the rest of the queue down must not start a second read beside
  // the new connection's own: with a burst of several reads' worth waiting
  // whole on the socket, two reads into one buffer would lose and repeat lines.
  gate.close();
  world.send(encodeNotice({"hold on again"}) + "\n");
  ASSERT_TRUE(gate.holdsAWriter());
  world.send(chats(1000, 600));
  gate.open();
  for (int i = 0; i < 100 && events.seen.size() < 700; ++i) sdk.Wait(20);
  EXPECT_EQ(hooks, 1);
  std::vector<std::string> burst(events.seen.begin() + 100, events.seen.end());
  EXPECT_EQ(burst, chatTexts(1000, 600));
  EXPECT_EQ(gate.text().find("ignored"), std::string::npos) << gate.text();
}

// Each failed login after a loss doubles the wait before the next, up to the
// longest; a login that succeeds starts again from the first wait.
TEST(NetWorldSdkReconnect, TheWaitBeforeLoggingInAgainDoublesUpToTheLongestAndResets) {
  SharedLog logBuffer;
  std::ostream log(&logBuffer);
  HandWorld world;
  NetWorldSdk sdk(optionsFor(world.port(), &log));  // 100 ms, at most 400 ms
  ASSERT_TRUE(world.logIn(sdk));

  using std::chrono::milliseconds;
  std::vector<milliseconds> waited;
  auto since = std::chrono::steady_clock::now();
  auto nextLogin = [&](int32_t code) {
    EXPECT_TRUE(world.acceptLogin(code));
    auto now = std::chrono::steady_clock::now();
    waited.push_back(std::chrono::duration_cast<milliseconds>(now - since));
    since = now;
  };
  world.drop();
  for (int32_t code : {1, 1, 1, 0}) nextLogin(code);
  for (int i = 0; i < 100 && !sdk.online(); ++i) std::this_thread::sleep_for(milliseconds(10));
  ASSERT_TRUE(sdk.online());
  world.drop();
  nextLogin(0);

  const std::string text = logBuffer.text();
  std::vector<std::string> waits;
  for (std::size_t at = text.find("logging in again in "); at != std::string::npos;
       at = text.find("logging in again in ", at + 1)) {
    waits.push_back(text.substr(at + 20, text.find('\n', at) - at - 20));
  }
  EXPECT_EQ(waits, (std::vector<std::string>{"100 ms", "200 ms", "400 ms", "400 ms", "100 ms"})) << text;
  const std::vector<milliseconds> least{milliseconds(100), milliseconds(200), milliseconds(400), milliseconds(400),
                                        milliseconds(100)};
  ASSERT_EQ(waited.size(), least.size());
  for (std::size_t i = 0; i < least.size(); ++i) EXPECT_GE(waited[i], least[i]) << "wait " << i;
}

TEST(NetWorldSdkReconnect, ALostWorldIsReportedAndTheBotLogsInAgainAndRequeries) {
  SharedLog logBuffer;
  std::ostream log(&logBuffer);
  auto first = std::make_unique<ServerRunner>();
  ASSERT_TRUE(first->started());
  world::ServerOptions samePorts = ServerRunner::freePorts();
  samePorts.playerPort = first->playerPort();
  samePorts.botPort = first->botPort();
  samePorts.webPort = 0;  // the game hosted on this machine may hold the usual one

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
