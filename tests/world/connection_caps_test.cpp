#include "world/guards/connection_caps.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelva::world {
namespace {

TEST(ConnectionCaps, EachCapRefusesWithItsReasonAndAPlaceFreesWhenItsTicketGoes) {
  ConnectionCaps caps({/*total=*/5, /*perAddress=*/3, /*notLoggedIn=*/4, /*notLoggedInPerAddress=*/2});
  std::vector<CapTicket> held;
  auto admit = [&](const std::string& address) {
    ConnectionCaps::Admission a = caps.admit(address, "players");
    if (a.ticket) held.push_back(std::move(*a.ticket));
    return a;
  };
  ASSERT_TRUE(admit("a").ticket);
  ASSERT_TRUE(admit("a").ticket);
  ConnectionCaps::Admission third = admit("a");
  EXPECT_FALSE(third.ticket);
  EXPECT_EQ(third.cap, "not logged in per address");
  EXPECT_EQ(third.refusal, "too many players from your address are logging in at once (2 at most)");

  held[0].loggedIn();
  held[1].loggedIn();
  ASSERT_TRUE(admit("a").ticket);
  ConnectionCaps::Admission fourth = admit("a");
  EXPECT_EQ(fourth.cap, "per address");
  EXPECT_EQ(fourth.refusal, "there are too many connections from your address (3 players at most)");

  ASSERT_TRUE(admit("b").ticket);
  ASSERT_TRUE(admit("c").ticket);
  ASSERT_TRUE(admit("d").ticket == std::nullopt);  // five in all
  EXPECT_EQ(caps.admit("d", "players").refusal, "the world is full (5 players)");

  // A ticket that goes gives its place back; logged-in or not, counts match.
  held.erase(held.begin());
  EXPECT_EQ(caps.total(), 4u);
  EXPECT_EQ(caps.notLoggedIn(), 3u);
  EXPECT_EQ(caps.fromAddress("a"), 2u);
  held.clear();
  EXPECT_EQ(caps.total(), 0u);
  EXPECT_EQ(caps.notLoggedIn(), 0u);
  EXPECT_EQ(caps.addresses(), 0u);
}

// Waiting places that are full let the oldest waiting connection of the
// busiest address go (or of the newcomer's own address at its cap); one that
// logged in, or cannot be let go, is never chosen.
TEST(ConnectionCaps, AFullWaitingCapLetsTheFloodsOldestGo) {
  ConnectionCaps caps({0, 0, /*notLoggedIn=*/4, /*notLoggedInPerAddress=*/3});
  std::vector<std::string> letGo;
  std::vector<CapTicket> held;
  auto admit = [&](const std::string& address, const std::string& tag, bool evictable = true) {
    ConnectionCaps::Admission a = caps.admit(address, "bots");
    if (!a.ticket) return a;
    if (evictable) a.ticket->onEvicted([&letGo, tag] { letGo.push_back(tag); });
    held.push_back(std::move(*a.ticket));
    return a;
  };
  admit("flood", "f1");
  admit("flood", "f2");
  admit("quiet", "q1");
  admit("flood", "f3");
  EXPECT_EQ(admit("flood", "f4").evicted, 1u);  // its own address at its cap
  EXPECT_EQ(letGo, std::vector<std::string>{"f1"});
  EXPECT_EQ(admit("bot", "b1").evicted, 1u);  // all full: the busiest address pays
  EXPECT_EQ(letGo, (std::vector<std::string>{"f1", "f2"}));
  EXPECT_EQ(caps.notLoggedIn(), 4u);
  EXPECT_EQ(caps.fromAddress("flood"), 2u);

  // Logged in or not evictable: kept; with nothing left to let go, refused
  // (the waiting cap counts every address).
  for (CapTicket& t : held) t.loggedIn();
  held.clear();
  EXPECT_EQ(caps.total(), 0u);
  for (int i = 0; i < 4; ++i) admit("x" + std::to_string(i), "keep", false);
  ConnectionCaps::Admission refused = admit("y", "y");
  EXPECT_FALSE(refused.ticket);
  EXPECT_EQ(refused.cap, "not logged in");
  EXPECT_EQ(letGo.size(), 2u);
  // A moved ticket counts once and gives its place back once.
  CapTicket moved = std::move(held[0]);
  moved.loggedIn();
  held.clear();
  EXPECT_EQ(caps.total(), 1u);
  EXPECT_EQ(caps.notLoggedIn(), 0u);
  EXPECT_TRUE(caps.admit("y", "bots").ticket);
}

}  // namespace
}  // namespace kelva::world
