// The whole game over the network: kelva-world and kelvabot run as separate
// processes on loopback, three players connect, and each hears what the game
// says to them: arrival, /stats, a purchase, a magic shroom picked, and the
// bot's leaving. The battles, the regrowth and the countdown are the
// transcripts' and the browser test's; here, that the bot's calls and the
// world's events carry them between two processes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "world/child_process.h"
#include "world/enter_world.h"
#include "world/line_client.h"

namespace kelva::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// How long a player waits for an answer: generous, since the suite also runs
// under the sanitizers on a busy machine.
constexpr auto kPatience = 15s;

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr const char* kWorld = R"({
  "name": "E2EWorld",
  "bots": [{"citizen": 1234, "password": "secret"}],
  "players": [{"name": "Ann", "password": "annpw"}, {"name": "Bob", "password": "bobpw"}],
  "objects": [
    {"number": 1003, "model": "potions.rwx", "description": "The potion shop", "x": -1500, "z": -500},
    {"number": 2001, "model": "shroom.rwx", "description": "A magic shroom", "x": 1200, "z": 800}
  ]
})";

class WorldEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelva_world_e2e_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    writeFile(dir / "world.json", kWorld);
    // Ann is rich and a Ranger (good shrooms, room for 20 magic points); Bob
    // is a plain newcomer; Cat has no character yet.
    writeFile(dir / "data" / "stats.txt",
              "Ann,1,Human,Rangers,10,10,10,10,15,15,0,20,100,0,0,0,0,!!0,0,0,0,good,0,0,0,10,15,0,10,10\r\n"
              "Bob,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n");
    writeFile(dir / "data" / "objects.txt",
              "25,0,0,0,0,,hppotion,0,1003,,0\r\n");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir);
    else std::cerr << "the processes' output is kept in " << dir << "\n";
  }

  fs::path dir;
};

TEST_F(WorldEndToEnd, ThreePlayersPlayTheGameThroughTheWorldServer) {
  ChildProcess world(
      {KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", "0", "--bot-port", "0", "--web-port", "0"},
      (dir / "world.out").string(), (dir / "world.err").string());
  ASSERT_TRUE(world.started());
  ASSERT_TRUE(world.waitForOutput("Bots log in on:", kPatience)) << world.errorText();
  const uint16_t playerPort = portAfter(world.outputText(), "Players connect with:");
  const uint16_t botPort = portAfter(world.outputText(), "Bots log in on:");

  // Ann is there when the bot's first query completes: she hears "Complete".
  // She enters first, so that a slow log-in on a busy machine cannot miss it.
  LineClient ann(playerPort);
  enter(ann, "Ann", "annpw", kPatience);
  ChildProcess bot({KELVABOT_PATH, "--headless", "--console-port", "0", "--world", "127.0.0.1:" + std::to_string(botPort), "--data-dir",
                    (dir / "data").string(), "--seed", "7"},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  ASSERT_TRUE(bot.started());
  for (const char* answer : {"1234", "secret", "E2EWorld", "Kelvabot", "0", "0", "0"}) bot.writeLine(answer);

  ASSERT_TRUE(ann.waitForLine("Kelvabot: Complete", kPatience)) << bot.errorText() << world.errorText();
  LineClient bob(playerPort);
  enter(bob, "Bob", "bobpw", kPatience);
  LineClient cat(playerPort);
  enter(cat, "Cat", "", kPatience);
  EXPECT_TRUE(ann.waitForLine("* \"Cat\" arrives.", kPatience));

  // Arrival: the guest got a new character, shown under the quoted name.
  ASSERT_TRUE(bot.waitForOutput("combo1 \"Cat\"", kPatience)) << bot.outputText();
  cat.send("/stats");
  EXPECT_TRUE(cat.waitForLine("\"Cat\": /stats", kPatience));  // a command is shown to its speaker alone
  EXPECT_TRUE(
      cat.waitForLine("Kelvabot whispers: stats: \"Cat\"     Level: 1 Gold: 5 HP: 15/15 Clan: none", kPatience));
  cat.send("hello");
  EXPECT_TRUE(bob.waitForLine("\"Cat\": hello", kPatience));  // chat is heard by the players nearby

  // A purchase at the potion shop.
  ann.send(".click 1003");
  EXPECT_TRUE(ann.waitForLine("Kelvabot whispers: You bought one HP Potion.", kPatience));
  ann.send("/stats");
  EXPECT_TRUE(
      ann.waitForLine("Kelvabot whispers: stats: Ann     Level: 1 Gold: 75 HP: 15/15 Clan: Rangers", kPatience));

  // A magic shroom: Ann, a good Ranger, picks it; it vanishes for everyone.
  ann.send(".click 2001");
  EXPECT_TRUE(ann.waitForLine("Kelvabot whispers: You collected 10mp from that magic shroom.", kPatience));
  cat.send(".look");
  ASSERT_TRUE(cat.waitForLine("* Near you (nearest first; .click N to click one):", kPatience));
  for (const std::string& l : cat.drain(500ms)) EXPECT_EQ(l.find("2001"), std::string::npos) << l;

  // The bot's say reaches everyone; then it leaves the world.
  bot.writeLine("close");
  for (LineClient* p : {&ann, &bob, &cat}) {
    EXPECT_TRUE(p->waitForLine("Kelvabot: One...", kPatience));
    EXPECT_TRUE(p->waitForLine("* Kelvabot leaves the world.", kPatience));
  }
  EXPECT_EQ(bot.waitExit(10s), std::optional<int>(0)) << bot.errorText();

  // Whispers reached only their addressees.
  for (const std::string& l : bob.skipped) EXPECT_EQ(l.find("whispers: stats: Ann"), std::string::npos) << l;
  for (const std::string& l : cat.skipped) EXPECT_EQ(l.find("HP Potion"), std::string::npos) << l;
  for (const std::string& l : ann.skipped) EXPECT_EQ(l.find("Gold: 5 "), std::string::npos) << l;

  // Everything the game changed is in the stats file.
  std::string stats = readFile(dir / "data" / "stats.txt");
  EXPECT_NE(stats.find("\r\n\"Cat\",1,Human,none,"), std::string::npos) << stats;
  EXPECT_NE(stats.find("hppotion"), std::string::npos) << stats;

  world.signal(SIGTERM);
  EXPECT_EQ(world.waitExit(10s), std::optional<int>(0)) << world.errorText();
}

TEST_F(WorldEndToEnd, TheBotLogsInAgainWhenTheWorldComesBackAndLosesNoData) {
  auto world = std::make_unique<ChildProcess>(
      std::vector<std::string>{KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", "0", "--bot-port",
                               "0", "--web-port", "0"},
      (dir / "world.out").string(), (dir / "world.err").string());
  ASSERT_TRUE(world->waitForOutput("Bots log in on:", kPatience)) << world->errorText();
  const std::string playerPort = std::to_string(portAfter(world->outputText(), "Players connect with:"));
  const std::string botPort = std::to_string(portAfter(world->outputText(), "Bots log in on:"));

  auto first = std::make_unique<LineClient>(static_cast<uint16_t>(std::stoi(playerPort)));
  enter(*first, "Ann", "annpw", kPatience);  // before the bot: its "Complete" cannot pass her by
  ChildProcess bot({KELVABOT_PATH, "--headless", "--console-port", "0", "--world", "127.0.0.1:" + botPort, "--data-dir",
                    (dir / "data").string()},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  for (const char* answer : {"1234", "secret", "E2EWorld", "Kelvabot", "0", "0", "0"}) bot.writeLine(answer);
  ASSERT_TRUE(first->waitForLine("Kelvabot: Complete", kPatience)) << bot.errorText();
  first->send("/stats");
  ASSERT_TRUE(first->waitForContaining("whispers: stats: Ann", kPatience)) << bot.errorText();
  first.reset();
  const std::string statsBefore = readFile(dir / "data" / "stats.txt");

  // The world goes away; the bot keeps trying (the client's own tests pin
  // how it reports the loss and how long it waits).
  world->signal(SIGTERM);
  EXPECT_EQ(world->waitExit(kPatience), std::optional<int>(0));

  // The world comes back on the same ports: the bot logs in again and
  // answers as before.
  world = std::make_unique<ChildProcess>(
      std::vector<std::string>{KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", playerPort,
                               "--bot-port", botPort, "--web-port", "0"},
      (dir / "world2.out").string(), (dir / "world2.err").string());
  ASSERT_TRUE(world->waitForOutput("Bots log in on:", kPatience)) << world->errorText();
  LineClient ann(static_cast<uint16_t>(std::stoi(playerPort)));
  enter(ann, "Ann", "annpw", kPatience);
  bool botBack = false;
  for (auto until = std::chrono::steady_clock::now() + 40s; !botBack && std::chrono::steady_clock::now() < until;) {
    ann.send(".who");
    auto who = ann.waitForContaining("* In the world:", kPatience);
    botBack = who && who->find("Kelvabot (bot)") != std::string::npos;
    if (!botBack) std::this_thread::sleep_for(200ms);
  }
  ASSERT_TRUE(botBack) << bot.errorText();
  ann.send("/stats");
  EXPECT_TRUE(
      ann.waitForLine("Kelvabot whispers: stats: Ann     Level: 1 Gold: 100 HP: 15/15 Clan: Rangers", kPatience));
  EXPECT_EQ(readFile(dir / "data" / "stats.txt"), statsBefore);

  bot.writeLine("close");
  EXPECT_TRUE(ann.waitForLine("* Kelvabot leaves the world.", kPatience));
  EXPECT_EQ(bot.waitExit(kPatience), std::optional<int>(0)) << bot.errorText();
  world->signal(SIGTERM);
  EXPECT_EQ(world->waitExit(kPatience), std::optional<int>(0));
}

}  // namespace
}  // namespace kelva::testing
