// The world's rules, without any network: who is in the world and where,
// the objects (some hidden), chat, clicks, moves, .look and .who, and the
// bots' calls (query, object change, whisper, say, teleport).
//
// The core knows nothing of sockets or of how a connection writes. Each
// avatar has an `AvatarLink` (its connection, in whatever port it came by),
// and the core tells it what happens as structured events; the player line
// port turns them into text lines, the bot port into bot protocol events.
//
// The core runs on one thread and is not reentrant from other threads. A
// link may leave the world (its connection closed) from inside any event the
// core delivers: the avatar is then taken out only when the core's current
// call is over, so the core never walks a table that changes under it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "net/bot_protocol.h"
#include "world/core/player_input.h"
#include "world/core/spatial_grid.h"
#include "world/core/world_file.h"
#include "world/core/world_state.h"
#include "world/store/account_store.h"
#include "world/store/object_changes.h"

namespace kelva::world {

enum class AvatarKind { kRegistered, kGuest, kBot };

struct Avatar {
  int32_t session = 0;
  std::string name;  // as shown in the world: a guest's in double quotes
  AvatarKind kind = AvatarKind::kGuest;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int16_t yaw = 0;
  bool isBot() const { return kind == AvatarKind::kBot; }
};

// Why someone came into view: they entered the world, walked near, or were
// moved near by the bot.
enum class Arrival { kEntered, kCameNear, kAppeared };
// Why someone went out of view: they left the world, walked away, or were
// moved away by the bot.
enum class Departure { kLeft, kWalkedAway, kVanished };
// Why the world lets a connection go.
enum class Dismissal {
  kQuit,              // the player typed .quit
  kLoggedInElsewhere,  // the same bot citizen, or registered player, logged in on another connection
  kSentAway            // an administrator kicked or banned the player
};

// What the world tells one avatar's connection. Every event has a default
// that ignores it, so a port implements what its clients can show.
// References passed in are valid only during the call.
class AvatarLink {
 public:
  virtual ~AvatarLink() = default;

  // Someone came into view (to a bot: someone entered the world).
  virtual void avatarArrived(const Avatar& /*who*/, Arrival /*how*/) {}
  // Someone went out of view.
  virtual void avatarLeft(const Avatar& /*who*/, Departure /*how*/) {}
  // An object was added to the world or taken out of it; a change of an
  // object is a removal and then an addition of the same number. An object
  // whose action holds "visible no" is hidden from players (`isVisible`).
  virtual void objectAdded(const ObjectEvent& /*event*/) {}
  virtual void objectRemoved(const ObjectEvent& /*event*/) {}
  // A public chat line heard (a bot hears every chat line in the world).
  virtual void chat(const Avatar& /*speaker*/, std::string_view /*text*/) {}
  // The bot whispered to this avatar.
  virtual void whisper(const Avatar& /*from*/, std::string_view /*text*/) {}
  // A player said this to this player alone with .tell (a bot hears a tell
  // as chat(), exactly like a chat line).
  virtual void tell(const Avatar& /*from*/, std::string_view /*text*/) {}
  // The speaker's own line, heard by the speaker alone: a game command (a
  // chat line starting with "/", which only the bots hear; `to` is null) or
  // a .tell to `to`.
  virtual void echo(std::string_view /*text*/, const Avatar* /*to*/) {}
  // A message of the world to this avatar alone (no leading "* ").
  virtual void worldMessage(std::string_view /*text*/) {}
  // This avatar walked (.move, or the page's walking) to `where` ("X Y Z"):
  // a line client is told in words; a client that draws the avatar at its
  // new place needs no words and overrides this.
  virtual void walked(std::string_view where) { worldMessage("You are at " + std::string(where) + "."); }
  // Bots only: a player clicked an object or an avatar.
  virtual void objectClicked(const Avatar& /*clicker*/, const WorldObject& /*object*/) {}
  virtual void avatarClicked(const Avatar& /*clicker*/, const Avatar& /*clicked*/) {}
  // The world lets this connection go; the link says goodbye in its own way.
  virtual void dismiss(Dismissal /*why*/) {}
};

// Hidden objects (a picked shroom: "create solid no,visible no") cannot be
// seen or clicked by players.
bool isVisible(const WorldObject& object);

class WorldCore {
 public:
  explicit WorldCore(WorldDefinition definition);
  WorldCore(const WorldCore&) = delete;
  WorldCore& operator=(const WorldCore&) = delete;

  const WorldDefinition& definition() const { return def_; }
  const World& world() const { return world_; }

  // The store of registered players; the world has none (everyone is a
  // guest) until one is given. `store` must outlive the core.
  void useAccounts(AccountStore& store) { accounts_ = &store; }
  AccountStore* accounts() const { return accounts_; }
  // The registered player of exactly that name, or nullopt.
  std::optional<AccountRecord> account(const std::string& name) const;
  // Whether an avatar (player or bot) of exactly that shown name is in the world.
  bool nameInUse(const std::string& name) const;
  // The avatar (player or bot) of exactly that shown name, or null.
  const Avatar* avatarNamed(const std::string& name) const;
  // Guests in the world now.
  std::size_t guestCount() const;
  // The registered player `name` logged in again on another connection with
  // the right password: the one in the world is dismissed (kLoggedInElsewhere)
  // and leaves at once, so the name is free. False when no registered player
  // of that name is in the world.
  bool takeOver(const std::string& name);
  // An administrator's doing: the player (never a bot) shown as `name` hears
  // `why`, is dismissed (kSentAway) and leaves at once. False when no such
  // player is in the world.
  bool sendAway(const std::string& name, std::string_view why);
  // Every player in the world hears `text` as a message of the world.
  void announce(std::string_view text);

  // Players. `enter` puts a player in at the entry point under `shownName`
  // (which must not be in use) and returns the session; the link stays owned
  // by the core until the player leaves.
  int32_t enter(std::shared_ptr<AvatarLink> link, const std::string& shownName, AvatarKind kind);
  // The player or bot of that session leaves the world; nothing when it is
  // not in it.
  void leave(int32_t session);
  // A line the player typed, already checked for length, rate and text.
  void playerAction(int32_t session, const PlayerAction& action);

  // Bots. StartBot's reply code: 0 logged in (the session is set), 1 wrong
  // citizen or password, 2 another world, 3 an unusable name, 4 already
  // logged in on this connection (not asked of the core).
  struct BotLogin {
    int32_t code = 0;
    int32_t session = 0;
  };
  BotLogin startBot(std::shared_ptr<AvatarLink> link, const net::BotCall& call);
  // Once the bot has its reply: the players hear it enter, and it meets
  // everyone already here.
  void botEntered(int32_t botSession);
  // One round of the bot's property query.
  struct QueryCell {
    CellKey cell;
    int32_t sequence = 0;
    std::vector<const WorldObject*> objects;  // valid until the core next changes
  };
  struct QueryAnswer {
    std::vector<QueryCell> cells;
    bool complete = true;
  };
  QueryAnswer query(int32_t botSession, int32_t sectorX, int32_t sectorZ);
  // The bot speaks to every player in the world.
  void say(int32_t botSession, std::string_view text);
  // A whisper to a player who has left is dropped quietly: battles and
  // replies may still be on their way when someone disconnects.
  void whisper(int32_t botSession, int32_t toSession, std::string_view text);
  void teleport(int32_t botSession, int32_t session, int32_t x, int32_t y, int32_t z);
  // Changes an object in place; the error names what is wrong (the bot port
  // tells the bot). A stale old position in another cell is only noted.
  // With a store, the change is kept there first and refused when it
  // cannot be written.
  std::string objectChange(int32_t botSession, const net::BotCall& call, std::string& note);
  // At start, before anyone is in: the kept object changes lie over the
  // world file's objects. Answers the numbers of kept objects the world
  // file no longer has, which stay as the file says.
  std::vector<int32_t> overlayKeptObjects(const std::vector<WorldObject>& kept);
  // Turns one bot event on or off; false when there is no such event.
  bool setEvent(int32_t botSession, int32_t event, bool on);

  const Avatar* avatar(int32_t session) const;
  std::size_t playerCount() const { return players_.size(); }
  // Every player within the world's near range of (x, z), not the one of
  // session `except`; `visit` is called in ascending session order.
  void forEachPlayerNear(int32_t x, int32_t z, int32_t except, const std::function<void(const Avatar&)>& visit);
  // Every avatar a player standing at (x, z) sees: the players within the
  // near range (not `except`) and every bot, which the whole world hears
  // arrive and leave; bots first (in ascending session), then the players.
  void forEachAvatarSeenFrom(int32_t x, int32_t z, int32_t except, const std::function<void(const Avatar&)>& visit);

  // Whether two points on the ground are within the world's near range.
  bool near(int32_t ax, int32_t az, int32_t bx, int32_t bz) const;

 private:
  struct Entry {
    Avatar avatar;
    GridSquare square;  // players only: where the grid files them
    std::shared_ptr<AvatarLink> link;
    bool gone = false;  // left during a call; taken out when the call ends
    // Bots only.
    int32_t citizen = 0;
    std::set<int32_t> eventsOff;
    QueryCursor query;
  };
  // Held by each public call: removals wait until the outermost call ends.
  class Busy;

  Entry* find(std::map<int32_t, Entry>& table, int32_t session);
  void settle();
  // The players within the near range of (x, z), but not `except`, each
  // visited once; defined in the source file.
  template <typename Visit>
  void eachPlayerNear(int32_t x, int32_t z, int32_t except, Visit&& visit);
  template <typename Tell>
  void toBots(net::EventKind kind, Tell&& tell);
  template <typename Tell>
  void toPlayersNear(int32_t x, int32_t z, int32_t except, Tell&& tell);
  template <typename Tell>
  void toAllPlayers(Tell&& tell);
  void objectEvents(const std::vector<ObjectEvent>& events);
  bool botsPresent() const;
  void moveTo(Entry& player, int32_t x, int32_t y, int32_t z);
  // The commands that only tell what is there (world_core_commands.cpp).
  void tell(Entry& player, const std::string& nameAndWords);
  void look(Entry& player);
  void who(Entry& player);
  static int64_t distanceSquared(int64_t ax, int64_t az, int64_t bx, int64_t bz);

  WorldDefinition def_;
  AccountStore* accounts_ = nullptr;
  World world_;
  int32_t nextSession_ = 1;
  std::map<int32_t, Entry> players_;  // in the world, by session
  std::map<int32_t, Entry> bots_;     // logged in, by session
  SpatialGrid<Entry> grid_;  // the players (never bots), by where they stand
  int busy_ = 0;
  std::vector<int32_t> leaving_;
};

}  // namespace kelva::world
