// A small game for tests: a Form1 on a FakeWorld, files in memory, and
// helpers that build characters and read back what the bot said.
//
//   GameFixture g;
//   g.givenPlayer("Bob").withGold(5).withHp(0);
//   g.chat("Bob", 7, "/stats");
//   EXPECT_EQ(g.takeCalls(), (std::vector<std::string>{"whisper 7 stats: ..."}));
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/event_router.h"
#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::testing {

class PlayerBuilder {
 public:
  explicit PlayerBuilder(PlayerRecord& r) : r_(r) {}
  PlayerBuilder& withGold(int32_t v) { r_.gold = v; return *this; }
  PlayerBuilder& withHp(int32_t v) { r_.hp = v; return *this; }
  PlayerBuilder& withMaxHp(int32_t v) { r_.maxHp = v; r_.baseMaxHp = v; return *this; }
  PlayerBuilder& withMp(int32_t v) { r_.mp = v; return *this; }
  PlayerBuilder& withMaxMp(int32_t v) { r_.maxMp = v; return *this; }
  PlayerBuilder& withExp(int32_t v) { r_.exp = v; return *this; }
  PlayerBuilder& withLevel(int32_t v) { r_.level = v; return *this; }
  PlayerBuilder& withStrength(int32_t v) { r_.strength = v; r_.baseStrength = v; return *this; }
  PlayerBuilder& withSpeed(int32_t v) { r_.speed = v; r_.baseSpeed = v; return *this; }
  PlayerBuilder& withAc(int32_t v) { r_.ac = v; r_.baseAc = v; return *this; }
  PlayerBuilder& withItems(const std::string& v) { r_.items = v; return *this; }
  PlayerBuilder& withSkills(const std::string& v) { r_.skills = v; return *this; }
  PlayerBuilder& withClan(const std::string& v) { r_.clan = v; return *this; }
  PlayerBuilder& withShroomType(const std::string& v) { r_.shroomType = v; return *this; }
  PlayerBuilder& withPvp(bool v = true) { r_.pvpEnabled = v; return *this; }
  PlayerRecord& record() { return r_; }

 private:
  PlayerRecord& r_;
};

class GameFixture {
 public:
  explicit GameFixture(std::string dataDir = "/data");

  FakeWorld world;
  MemoryFileSystem files;
  RecordingView view;
  std::unique_ptr<Form1> form;
  // Hands the world's events and the timer ticks to the game, as the bot does.
  std::unique_ptr<app::EventRouter> router;

  // Adds a new character (starting values) at the next roster slot.
  PlayerBuilder givenPlayer(const std::string& name);
  PlayerRecord& player(const std::string& name);
  // Makes `name` an administrator through the first free Text1 box.
  void givenAdmin(const std::string& name);
  // Adds a catalogue entry / an object definition at the next slot.
  CatalogEntry& givenCatalogEntry(const CatalogEntry& e);
  ObjectDefinition& givenObject(const ObjectDefinition& d);
  // Adds a shroom to the shroom cache at the next slot.
  ShroomEntry& givenShroom(const ShroomEntry& e);

  // Delivers a chat line now, as the world would inside Wait.
  void chat(const std::string& name, int32_t session, const std::string& text);
  // Delivers an object click / avatar click now.
  void clickObject(const std::string& name, int32_t session, int32_t number);
  void clickAvatar(const std::string& name, int32_t session, const std::string& clicked, int32_t clickedSession);

  // The world calls made so far, and forgets them.
  std::vector<std::string> takeCalls();
  // The stats file as saved, or "" when never saved.
  std::string statsFile() const;
  std::string file(const std::string& name) const;
};

}  // namespace kelva::testing
