#include "world/core/world_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace kelva::world {
namespace {

// Writes down every event as a short line, so a test can say who heard what.
class Recorder : public AvatarLink {
 public:
  void avatarArrived(const Avatar& who, Arrival how) override {
    heard.push_back("arrived " + who.name +
                    (how == Arrival::kEntered ? "" : how == Arrival::kCameNear ? " (near)" : " (appeared)"));
  }
  void avatarLeft(const Avatar& who, Departure how) override {
    heard.push_back("left " + who.name +
                    (how == Departure::kLeft ? "" : how == Departure::kWalkedAway ? " (away)" : " (vanished)"));
  }
  void chat(const Avatar& speaker, std::string_view text) override {
    heard.push_back("chat " + speaker.name + ": " + std::string(text));
  }
  void tell(const Avatar& from, std::string_view text) override {
    heard.push_back("tell " + from.name + ": " + std::string(text));
  }
  void echo(std::string_view text, const Avatar* to) override {
    heard.push_back("echo " + (to ? to->name + ": " : std::string()) + std::string(text));
  }
  void worldMessage(std::string_view text) override { heard.push_back("* " + std::string(text)); }

  bool heardLine(const std::string& line) const { return std::find(heard.begin(), heard.end(), line) != heard.end(); }
  std::vector<std::string> heard;
};

// A player whose connection breaks on the first chat line it is sent.
class Breaking : public Recorder {
 public:
  Breaking(WorldCore& core) : core_(core) {}
  void chat(const Avatar& speaker, std::string_view text) override {
    Recorder::chat(speaker, text);
    core_.leave(session);
  }
  int32_t session = 0;

 private:
  WorldCore& core_;
};

// A player who, told that someone came near, walks far away at once and
// takes everyone near along: the grid walk that told them changes under it.
class Scattering : public Recorder {
 public:
  Scattering(WorldCore& core) : core_(core) {}
  void avatarArrived(const Avatar& who, Arrival how) override {
    Recorder::avatarArrived(who, how);
    if (who.name != "New") return;
    for (int32_t s : sessions) core_.playerAction(s, parsePlayerLine(".move 900000 0"));
  }
  std::vector<int32_t> sessions;

 private:
  WorldCore& core_;
};

PlayerAction act(const std::string& line) { return parsePlayerLine(line); }

class WorldCoreTest : public ::testing::Test {
 protected:
  WorldCoreTest() : core(definition()) {}

  static WorldDefinition definition() {
    WorldDefinition def;
    def.name = "Testworld";
    def.nearRange = 1000;
    def.bots.push_back({1, "botpw"});
    return def;
  }

  struct Joined {
    std::shared_ptr<Recorder> link;
    int32_t session = 0;
  };
  Joined player(const std::string& name, int32_t x = 0, int32_t z = 0) {
    auto link = std::make_shared<Recorder>();
    int32_t session = core.enter(link, name, AvatarKind::kGuest);
    if (x != 0 || z != 0) core.playerAction(session, act(".move " + std::to_string(x) + " " + std::to_string(z)));
    all.push_back(link);
    quiet();
    return {link, session};
  }
  Joined bot(const std::string& name = "Kelva") {
    auto link = std::make_shared<Recorder>();
    net::BotCall call;
    call.citizen = 1;
    call.password = "botpw";
    call.world = "Testworld";
    call.botName = name;
    WorldCore::BotLogin login = core.startBot(link, call);
    EXPECT_EQ(login.code, 0);
    core.botEntered(login.session);
    all.push_back(link);
    quiet();
    return {link, login.session};
  }

  // Forgets what everyone heard so far.
  void quiet() {
    for (auto& l : all) l->heard.clear();
  }

  WorldCore core;
  std::vector<std::shared_ptr<Recorder>> all;
};

TEST_F(WorldCoreTest, CommandsGoToTheBotsAndTheSpeakerAlonePlainChatToThoseNear) {
  Joined kelva = bot();
  Joined ann = player("Ann");
  Joined bob = player("Bob", 10, 10);
  core.playerAction(ann.session, act("/stats"));
  EXPECT_TRUE(kelva.link->heardLine("chat Ann: /stats"));
  EXPECT_EQ(ann.link->heard, std::vector<std::string>{"echo /stats"});
  EXPECT_TRUE(bob.link->heard.empty());
  // A line with "/" further in is ordinary chat.
  core.playerAction(ann.session, act("a/b"));
  EXPECT_TRUE(bob.link->heardLine("chat Ann: a/b"));
  EXPECT_TRUE(kelva.link->heardLine("chat Ann: a/b"));
  EXPECT_EQ(ann.link->heard.size(), 1u);
  // The world, not the bot, answers an attack on the bot and a .where.
  quiet();
  core.playerAction(bob.session, act(".attack Kelva"));
  core.playerAction(bob.session, act(".where"));
  EXPECT_EQ(bob.link->heard, (std::vector<std::string>{"* Kelva is the game's host and cannot be fought.",
                                                       "* You are at 10 0 10."}));
  EXPECT_TRUE(kelva.link->heard.empty());
}

TEST_F(WorldCoreTest, AnArrivalIsToldToPlayersNearTheEntryAndToEveryBot) {
  Joined kelva = bot();
  Joined near = player("Near", 999, 0);
  Joined far = player("Far", 1001, 0);
  core.enter(std::make_shared<Recorder>(), "New", AvatarKind::kGuest);
  EXPECT_TRUE(near.link->heardLine("arrived New"));
  EXPECT_TRUE(far.link->heard.empty());
  EXPECT_TRUE(kelva.link->heardLine("arrived New"));
}

// Players are filed in squares as wide as the near range (1000 here); who
// hears whom must not depend on which squares they stand in.
TEST_F(WorldCoreTest, NearnessIsTheSameAcrossTheSquaresBorders) {
  struct Case {
    int32_t sx, sz, lx, lz;
    bool hears;
  };
  const Case cases[] = {
      {999, 0, 1000, 0, true},        // either side of a border
      {-1, 0, 0, 0, true},            // either side of zero: -1 rounds down
      {-1, -1, 998, 0, true},         // the far side of the next square
      {0, 0, 1000, 0, true},          // exactly at the range, every way
      {0, 0, -1000, 0, true},
      {0, 0, 0, 1000, true},
      {0, 0, 0, -1000, true},
      {500, 500, -499, -499, false},  // diagonally across two borders, too far
      {-300, -300, 300, 300, true},   // diagonally across two borders, near
      {0, 0, 1001, 0, false},         // just past it
      {0, 0, -1001, 0, false},
      {0, 0, 708, 708, false},        // within the squares around, past the range on the diagonal
      {0, 0, 707, 707, true},
      {-1500, -1500, -2499, -1500, true},  // two squares from zero, the other way
      {2147483647, 0, 2147482647, 0, true},  // the world's edges do not overflow
      {-2147483647 - 1, 0, 2147483647, 0, false},
  };
  for (const Case& c : cases) {
    WorldCore fresh(definition());
    auto speaker = std::make_shared<Recorder>();
    auto listener = std::make_shared<Recorder>();
    int32_t s = fresh.enter(speaker, "S", AvatarKind::kGuest);
    int32_t l = fresh.enter(listener, "L", AvatarKind::kGuest);
    fresh.playerAction(s, act(".move " + std::to_string(c.sx) + " " + std::to_string(c.sz)));
    fresh.playerAction(l, act(".move " + std::to_string(c.lx) + " " + std::to_string(c.lz)));
    listener->heard.clear();
    fresh.playerAction(s, act("hello"));
    EXPECT_EQ(listener->heardLine("chat S: hello"), c.hears)
        << c.sx << "," << c.sz << " to " << c.lx << "," << c.lz;
  }
}

TEST_F(WorldCoreTest, ATellReachesTheNamedAvatarAloneWhereverItIs) {
  Joined kelva = bot("Kelva");
  Joined other = bot("Kelva Two");
  Joined ann = player("Ann");
  Joined bob = player("Bob", 500000, 0);
  Joined old = player("Old Tom");

  core.playerAction(ann.session, act(".tell Bob see you"));
  EXPECT_EQ(bob.link->heard, std::vector<std::string>{"tell Ann: see you"});
  EXPECT_EQ(ann.link->heard, std::vector<std::string>{"echo Bob: see you"});
  EXPECT_TRUE(old.link->heard.empty());

  // To a bot a tell is chat; the longest name the line starts with counts.
  core.playerAction(ann.session, act(".tell Kelva Two /stats"));
  EXPECT_EQ(other.link->heard, std::vector<std::string>{"chat Ann: /stats"});
  EXPECT_TRUE(kelva.link->heard.empty());
  core.playerAction(ann.session, act(".tell Old Tom hi"));
  EXPECT_EQ(old.link->heard, std::vector<std::string>{"tell Ann: hi"});

  quiet();
  core.playerAction(ann.session, act(".tell Nobody hi"));
  core.playerAction(ann.session, act(".tell Ann hi"));
  EXPECT_EQ(ann.link->heard,
            (std::vector<std::string>{"* There is nobody called Nobody in the world (names as .who shows them).",
                                      "* You cannot tell yourself."}));
}

TEST_F(WorldCoreTest, APlayerWhoseConnectionBreaksWhileTheyAreToldLeavesAfterTheLine) {
  Joined ann = player("Ann");
  std::vector<std::shared_ptr<Breaking>> breaking;
  for (int i = 0; i < 5; ++i) {
    breaking.push_back(std::make_shared<Breaking>(core));
    breaking.back()->session = core.enter(breaking.back(), "B" + std::to_string(i), AvatarKind::kGuest);
  }
  Joined bob = player("Bob");
  core.playerAction(ann.session, act("hello"));
  EXPECT_TRUE(bob.link->heardLine("chat Ann: hello"));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(bob.link->heardLine("left B" + std::to_string(i)));
  EXPECT_EQ(core.playerCount(), 2u);
  EXPECT_FALSE(core.nameInUse("B0"));
  bob.link->heard.clear();
  core.playerAction(ann.session, act("again"));
  EXPECT_EQ(bob.link->heard, std::vector<std::string>{"chat Ann: again"});
}

TEST_F(WorldCoreTest, ATeleportIsAVanishingWhereThePlayerWasAndAnAppearanceWhereTheyAre) {
  Joined kelva = bot();
  Joined ann = player("Ann");
  struct Listener {
    const char* name;
    int32_t x;
    std::vector<std::string> heard;
  };
  // Ann goes from 0 to 1500; the near range is 1000.
  std::vector<Listener> listeners = {
      {"Old", -600, {"left Ann (vanished)"}},
      {"Both", 700, {"left Ann (vanished)", "arrived Ann (appeared)"}},
      {"New", 2400, {"arrived Ann (appeared)"}},
      {"Far", 2600, {}},
  };
  std::vector<Joined> joined;
  for (const Listener& l : listeners) joined.push_back(player(l.name, l.x, 0));
  quiet();
  core.teleport(kelva.session, ann.session, 1500, 7, 0);
  for (std::size_t i = 0; i < listeners.size(); ++i)
    EXPECT_EQ(joined[i].link->heard, listeners[i].heard) << listeners[i].name;
  EXPECT_EQ(ann.link->heard, std::vector<std::string>{"* You are moved to 1500 7 0."});
  EXPECT_TRUE(kelva.link->heard.empty());
  // Only a bot moves players so.
  quiet();
  core.teleport(joined[0].session, ann.session, 0, 0, 0);
  EXPECT_TRUE(ann.link->heard.empty());
}

TEST_F(WorldCoreTest, LookListsTheFortyNearestVisibleObjectsAndCountsTheRest) {
  struct Case {
    int objects;
    std::size_t lines;
    std::string last;
  };
  for (const Case& c : {Case{0, 1, "* There is nothing to click near you."}, Case{40, 41, "*   40 m40.rwx"},
                        Case{41, 42, "*   ... and 1 more."}, Case{45, 42, "*   ... and 5 more."}}) {
    WorldDefinition def = definition();
    // Object n stands n steps away, so the nearest come first; a hidden one
    // nearest of all and one out of range are never listed or counted.
    auto place = [&](int32_t number, int32_t x, const std::string& model, const std::string& action) {
      WorldObject o;
      o.number = number;
      o.x = x;
      o.model = model;
      o.action = action;
      def.objects.push_back(o);
    };
    for (int n = 1; n <= c.objects; ++n) place(n, n, "m" + std::to_string(n) + ".rwx", "");
    place(900, 0, "hidden.rwx", "create visible no");
    place(901, 5000, "far.rwx", "");
    WorldCore fresh(def);
    auto me = std::make_shared<Recorder>();
    int32_t session = fresh.enter(me, "Me", AvatarKind::kGuest);
    me->heard.clear();
    fresh.playerAction(session, act(".look"));
    ASSERT_EQ(me->heard.size(), c.lines) << c.objects;
    EXPECT_EQ(me->heard.back(), c.last) << c.objects;
    if (c.objects > 0) {
      EXPECT_EQ(me->heard[1], "*   1 m1.rwx");
    }
  }
}

TEST_F(WorldCoreTest, ListenersWhoMoveWhileTheyAreToldOfAnArrivalLeaveTheOthersToldOnce) {
  auto scatterer = std::make_shared<Scattering>(core);
  int32_t first = core.enter(scatterer, "First", AvatarKind::kGuest);
  std::vector<Joined> crowd;
  for (int i = 0; i < 4; ++i) crowd.push_back(player("P" + std::to_string(i)));
  scatterer->sessions = {first};
  for (const Joined& j : crowd) scatterer->sessions.push_back(j.session);
  quiet();
  scatterer->heard.clear();
  core.enter(std::make_shared<Recorder>(), "New", AvatarKind::kGuest);
  // Those told before the scattering heard the arrival once; those moved away
  // before their turn are no longer near and hear nothing of it.
  EXPECT_EQ(std::count(scatterer->heard.begin(), scatterer->heard.end(), "arrived New"), 1);
  for (const Joined& j : crowd) EXPECT_LE(std::count(j.link->heard.begin(), j.link->heard.end(), "arrived New"), 1);
  core.playerAction(first, act("still here"));
  for (const Joined& j : crowd) EXPECT_TRUE(j.link->heardLine("chat First: still here"));
}

}  // namespace
}  // namespace kelva::world
