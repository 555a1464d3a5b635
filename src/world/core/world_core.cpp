#include "world/core/world_core.h"

#include <algorithm>

#include "world/core/bot_text.h"
#include "world/guards/login_throttle.h"

namespace kelva::world {

namespace {

std::string position(const Avatar& a) {
  return std::to_string(a.x) + " " + std::to_string(a.y) + " " + std::to_string(a.z);
}

}  // namespace

int64_t WorldCore::distanceSquared(int64_t ax, int64_t az, int64_t bx, int64_t bz) {
  return (ax - bx) * (ax - bx) + (az - bz) * (az - bz);
}

bool isVisible(const WorldObject& object) { return object.action.find("visible no") == std::string::npos; }

class WorldCore::Busy {
 public:
  explicit Busy(WorldCore& core) : core_(core) { ++core_.busy_; }
  ~Busy() {
    if (--core_.busy_ == 0) core_.settle();
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  WorldCore& core_;
};

WorldCore::WorldCore(WorldDefinition definition)
    : def_(std::move(definition)), grid_(def_.nearRange) {
  for (const WorldObject& o : def_.objects) world_.add(o);
}

std::optional<AccountRecord> WorldCore::account(const std::string& name) const {
  if (!accounts_) return std::nullopt;
  return accounts_->find(name);
}

bool WorldCore::nameInUse(const std::string& name) const { return avatarNamed(name) != nullptr; }

const Avatar* WorldCore::avatarNamed(const std::string& name) const {
  for (const auto* table : {&players_, &bots_})
    for (const auto& [session, e] : *table)
      if (!e.gone && e.avatar.name == name) return &e.avatar;
  return nullptr;
}

std::size_t WorldCore::guestCount() const {
  std::size_t n = 0;
  for (const auto& [session, p] : players_)
    if (!p.gone && p.avatar.kind == AvatarKind::kGuest) ++n;
  return n;
}

bool WorldCore::takeOver(const std::string& name) {
  Busy busy(*this);
  for (auto& [session, p] : players_) {
    if (p.gone || p.avatar.kind != AvatarKind::kRegistered || p.avatar.name != name) continue;
    const int32_t old = session;
    std::shared_ptr<AvatarLink> link = p.link;
    link->dismiss(Dismissal::kLoggedInElsewhere);
    leave(old);  // at once, whether or not the dismissed link closed yet
    return true;
  }
  return false;
}

bool WorldCore::near(int32_t ax, int32_t az, int32_t bx, int32_t bz) const {
  // The square test runs only within the range on each axis, where the
  // squares cannot overflow even at the far ends of the world.
  const int64_t range = def_.nearRange;
  const int64_t dx = int64_t{ax} - bx;
  const int64_t dz = int64_t{az} - bz;
  if (dx < -range || dx > range || dz < -range || dz > range) return false;
  return distanceSquared(ax, az, bx, bz) <= range * range;
}

WorldCore::Entry* WorldCore::find(std::map<int32_t, Entry>& table, int32_t session) {
  auto it = table.find(session);
  return it == table.end() || it->second.gone ? nullptr : &it->second;
}

const Avatar* WorldCore::avatar(int32_t session) const {
  for (const auto* table : {&players_, &bots_}) {
    auto it = table->find(session);
    if (it != table->end() && !it->second.gone) return &it->second.avatar;
  }
  return nullptr;
}

bool WorldCore::botsPresent() const {
  for (const auto& [session, b] : bots_)
    if (!b.gone) return true;
  return false;
}

void WorldCore::settle() {
  std::vector<int32_t> leaving;
  leaving.swap(leaving_);
  for (int32_t session : leaving) {
    if (auto it = players_.find(session); it != players_.end()) {
      grid_.unfile(&it->second, it->second.square);
      players_.erase(it);
    }
    bots_.erase(session);
  }
}

void WorldCore::moveTo(Entry& player, int32_t x, int32_t y, int32_t z) {
  player.avatar.x = x;
  player.avatar.y = y;
  player.avatar.z = z;
  player.square = grid_.move(&player, player.square, x, z);
}

template <typename Visit>
void WorldCore::eachPlayerNear(int32_t x, int32_t z, int32_t except, Visit&& visit) {
  // A player who leaves meanwhile is only marked gone, and stays in the
  // table until the outermost call is over; one who moves is judged where
  // they stand when visited.
  grid_.forEachAround(x, z, [&](Entry& p) {
    if (!p.gone && p.avatar.session != except && near(x, z, p.avatar.x, p.avatar.z)) visit(p);
  });
}

template <typename Tell>
void WorldCore::toBots(net::EventKind kind, Tell&& tell) {
  for (auto& [session, b] : bots_)
    if (!b.gone && !b.eventsOff.count(static_cast<int32_t>(kind))) tell(*b.link);
}

template <typename Tell>
void WorldCore::toPlayersNear(int32_t x, int32_t z, int32_t except, Tell&& tell) {
  eachPlayerNear(x, z, except, [&](Entry& p) { tell(*p.link); });
}

template <typename Tell>
void WorldCore::toAllPlayers(Tell&& tell) {
  for (auto& [session, p] : players_)
    if (!p.gone) tell(*p.link);
}

void WorldCore::forEachPlayerNear(int32_t x, int32_t z, int32_t except,
                                  const std::function<void(const Avatar&)>& visit) {
  Busy busy(*this);
  eachPlayerNear(x, z, except, [&](Entry& p) { visit(p.avatar); });
}

void WorldCore::forEachAvatarSeenFrom(int32_t x, int32_t z, int32_t except,
                                      const std::function<void(const Avatar&)>& visit) {
  Busy busy(*this);
  for (auto& [session, b] : bots_)
    if (!b.gone) visit(b.avatar);
  forEachPlayerNear(x, z, except, visit);
}

int32_t WorldCore::enter(std::shared_ptr<AvatarLink> link, const std::string& shownName, AvatarKind kind) {
  Busy busy(*this);
  Entry entry;
  entry.avatar.session = nextSession_++;
  entry.avatar.name = shownName;
  entry.avatar.kind = kind;
  entry.avatar.x = def_.entryX;
  entry.avatar.y = def_.entryY;
  entry.avatar.z = def_.entryZ;
  entry.link = std::move(link);
  const int32_t session = entry.avatar.session;
  Entry& player = players_.emplace(session, std::move(entry)).first->second;
  player.square = grid_.file(&player, player.avatar.x, player.avatar.z);
  // Copies: the player's own link may leave while it is told.
  const Avatar me = player.avatar;
  std::shared_ptr<AvatarLink> self = player.link;
  self->worldMessage("You are " + me.name + ", at " + position(me) + ". Type .help for the world's actions.");
  toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarArrived(me, Arrival::kEntered); });
  toBots(net::EventKind::kAvatarArrival, [&](AvatarLink& l) { l.avatarArrived(me, Arrival::kEntered); });
  return session;
}

void WorldCore::leave(int32_t session) {
  Busy busy(*this);
  if (Entry* p = find(players_, session)) {
    p->gone = true;
    leaving_.push_back(session);
    const Avatar me = p->avatar;
    toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarLeft(me, Departure::kLeft); });
    toBots(net::EventKind::kAvatarDeparture, [&](AvatarLink& l) { l.avatarLeft(me, Departure::kLeft); });
  } else if (Entry* b = find(bots_, session)) {
    b->gone = true;
    leaving_.push_back(session);
    const Avatar me = b->avatar;
    toAllPlayers([&](AvatarLink& l) { l.avatarLeft(me, Departure::kLeft); });
  }
}

void WorldCore::playerAction(int32_t session, const PlayerAction& action) {
  Busy busy(*this);
  Entry* entry = find(players_, session);
  if (!entry) return;
  Entry& player = *entry;
  // The player's own link is kept alive here even if it leaves while told.
  std::shared_ptr<AvatarLink> self = player.link;
  const Avatar& me = player.avatar;
  switch (action.kind) {
    case PlayerActionKind::kNothing:
      return;
    case PlayerActionKind::kChat:
      // A line starting with "/" is a command to the game: the bots hear it
      // and the speaker sees it, the crowd is spared it.
      if (action.text[0] == '/')
        self->echo(action.text, nullptr);
      else
        toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.chat(me, action.text); });
      toBots(net::EventKind::kChat, [&](AvatarLink& l) { l.chat(me, action.text); });
      return;
    case PlayerActionKind::kTell:
      tell(player, action.text);
      return;
    case PlayerActionKind::kLook:
      look(player);
      return;
    case PlayerActionKind::kWho:
      who(player);
      return;
    case PlayerActionKind::kClick: {
      const WorldObject* o = world_.find(action.number);
      if (!o || !isVisible(*o) || !near(me.x, me.z, o->x, o->z)) {
        self->worldMessage("There is no object " + std::to_string(action.number) + " near you.");
        return;
      }
      if (!botsPresent()) {
        self->worldMessage("Nothing happens: the bot is not in the world.");
        return;
      }
      bool heard = false;
      toBots(net::EventKind::kObjectClick, [&](AvatarLink&) { heard = true; });
      if (!heard) {
        // The bot is still handling another click; a real world drops the
        // click too, but the player should know to try again.
        self->worldMessage("The bot is busy; click again.");
        return;
      }
      const WorldObject clicked = *o;
      toBots(net::EventKind::kObjectClick, [&](AvatarLink& l) { l.objectClicked(me, clicked); });
      return;
    }
    case PlayerActionKind::kAttack: {
      const Avatar* clicked = nullptr;
      for (const auto* table : {&players_, &bots_})
        for (const auto& [s, e] : *table)
          if (!e.gone && e.avatar.name == action.text) clicked = &e.avatar;
      if (!clicked || !near(me.x, me.z, clicked->x, clicked->z)) {
        self->worldMessage("There is nobody called " + action.text + " near you (names as .who shows them).");
        return;
      }
      if (clicked->session == session) {
        self->worldMessage("You cannot click yourself.");
        return;
      }
      // The bot hosts the game and is no fighter: it would not answer the
      // click, so the world does.
      if (clicked->isBot()) {
        self->worldMessage(clicked->name + " is the game's host and cannot be fought.");
        return;
      }
      if (!botsPresent()) {
        self->worldMessage("Nothing happens: the bot is not in the world.");
        return;
      }
      const Avatar target = *clicked;
      toBots(net::EventKind::kAvatarClick, [&](AvatarLink& l) { l.avatarClicked(me, target); });
      return;
    }
    case PlayerActionKind::kMove: {
      toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarLeft(me, Departure::kWalkedAway); });
      moveTo(player, action.x, me.y, action.z);
      self->walked(position(me));
      toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarArrived(me, Arrival::kCameNear); });
      return;
    }
    case PlayerActionKind::kWhere:
      self->worldMessage("You are at " + position(me) + ".");
      return;
    case PlayerActionKind::kHelp:
      // The help line is written with its own "* " prefix.
      self->worldMessage(std::string_view(kHelpLine).substr(2));
      return;
    case PlayerActionKind::kQuit:
      self->worldMessage("Goodbye.");
      self->dismiss(Dismissal::kQuit);
      return;
    case PlayerActionKind::kUnknown:
      self->worldMessage("There is no action " + action.text + ". Type .help for the world's actions.");
      return;
    case PlayerActionKind::kMisused:
      // The usage texts are written with their own "* " prefix.
      self->worldMessage(std::string_view(action.text).substr(std::min<std::size_t>(2, action.text.size())));
      return;
  }
}

WorldCore::BotLogin WorldCore::startBot(std::shared_ptr<AvatarLink> link, const net::BotCall& call) {
  Busy busy(*this);
  const BotAccount* account = nullptr;
  for (const BotAccount& a : def_.bots)
    if (a.citizen == call.citizen && sameSecret(call.password, a.password)) account = &a;
  if (!account) return {1, 0};
  if (call.world != def_.name) return {2, 0};
  if (!nameProblem(call.botName).empty()) return {3, 0};

  // One login per citizen: a bot that logs in again (say after its old
  // connection broke without the world noticing) replaces its old self.
  for (auto& [session, other] : bots_) {
    if (!other.gone && other.citizen == call.citizen) {
      std::shared_ptr<AvatarLink> old = other.link;
      old->dismiss(Dismissal::kLoggedInElsewhere);
    }
  }
  Entry entry;
  entry.avatar.session = nextSession_++;
  entry.avatar.name = call.botName;
  entry.avatar.kind = AvatarKind::kBot;
  entry.avatar.x = call.x;
  entry.avatar.y = call.y;
  entry.avatar.z = call.z;
  entry.citizen = call.citizen;
  entry.link = std::move(link);
  const int32_t session = entry.avatar.session;
  bots_.emplace(session, std::move(entry));
  return {0, session};
}

void WorldCore::botEntered(int32_t botSession) {
  Busy busy(*this);
  Entry* bot = find(bots_, botSession);
  if (!bot) return;
  const Avatar me = bot->avatar;
  std::shared_ptr<AvatarLink> link = bot->link;
  toAllPlayers([&](AvatarLink& l) { l.avatarArrived(me, Arrival::kEntered); });
  // The bot meets everyone already here, as if they had just arrived.
  for (auto& [session, p] : players_)
    if (!p.gone) link->avatarArrived(p.avatar, Arrival::kEntered);
}

WorldCore::QueryAnswer WorldCore::query(int32_t botSession, int32_t sectorX, int32_t sectorZ) {
  QueryAnswer answer;
  Entry* bot = find(bots_, botSession);
  if (!bot) return answer;
  QueryCursor::Round round =
      bot->query.answer(world_, sectorX, sectorZ, static_cast<std::size_t>(def_.queryCellsPerAnswer));
  answer.complete = round.complete;
  for (CellKey cell : round.cells) {
    std::vector<const WorldObject*> objects = world_.objectsIn(cell);
    if (objects.empty()) continue;  // emptied since the query began
    answer.cells.push_back({cell, world_.sequence(cell), std::move(objects)});
  }
  return answer;
}

void WorldCore::say(int32_t botSession, std::string_view text) {
  Busy busy(*this);
  Entry* bot = find(bots_, botSession);
  if (!bot) return;
  const Avatar me = bot->avatar;
  const std::string shown = playerVisibleBotText(text);
  toAllPlayers([&](AvatarLink& l) { l.chat(me, shown); });
}

void WorldCore::whisper(int32_t botSession, int32_t toSession, std::string_view text) {
  Busy busy(*this);
  Entry* bot = find(bots_, botSession);
  Entry* player = find(players_, toSession);
  if (bot && player) player->link->whisper(bot->avatar, playerVisibleBotText(text));
}

void WorldCore::teleport(int32_t botSession, int32_t session, int32_t x, int32_t y, int32_t z) {
  Busy busy(*this);
  Entry* player = find(players_, session);
  if (!find(bots_, botSession) || !player) return;
  std::shared_ptr<AvatarLink> self = player->link;
  Avatar& me = player->avatar;
  toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarLeft(me, Departure::kVanished); });
  moveTo(*player, x, y, z);
  self->worldMessage("You are moved to " + position(me) + ".");
  toPlayersNear(me.x, me.z, session, [&](AvatarLink& l) { l.avatarArrived(me, Arrival::kAppeared); });
}

std::string WorldCore::objectChange(int32_t botSession, const net::BotCall& call, std::string& note) {
  Busy busy(*this);
  if (!find(bots_, botSession)) return "";
  const WorldObject* old = world_.find(call.oldNumber);
  if (!old) return "ObjectChange: there is no object " + std::to_string(call.oldNumber);
  if (cellFromCoordinate(old->x) != cellFromCoordinate(call.oldX) ||
      cellFromCoordinate(old->z) != cellFromCoordinate(call.oldZ)) {
    note = "ObjectChange of " + std::to_string(call.oldNumber) + " gave an old position in another cell";
  }
  net::ObjectFields shown = call.object;
  shown.model = playerVisibleBotText(shown.model);
  shown.description = playerVisibleBotText(shown.description);
  // On disk first: a change the world could not keep would be undone by
  // the next restart, so it is refused and nobody sees it.
  if (accounts_) {
    WorldObject kept = shown;
    kept.number = call.oldNumber;
    if (Status s = ObjectChanges(*accounts_).keep(kept); !s.isOk()) return "ObjectChange: " + s.message();
  }
  objectEvents(*world_.change(call.oldNumber, shown));
  return "";
}

std::vector<int32_t> WorldCore::overlayKeptObjects(const std::vector<WorldObject>& kept) {
  std::vector<int32_t> unknown;
  for (const WorldObject& o : kept) {
    net::ObjectFields fields;
    static_cast<WorldObject&>(fields) = o;
    if (!world_.change(o.number, fields)) unknown.push_back(o.number);
  }
  return unknown;
}

void WorldCore::objectEvents(const std::vector<ObjectEvent>& events) {
  for (const ObjectEvent& ev : events) {
    bool add = ev.kind == ObjectEvent::Kind::kAdd;
    net::EventKind kind = add ? net::EventKind::kObjectAdd : net::EventKind::kObjectDelete;
    toBots(kind, [&](AvatarLink& l) { add ? l.objectAdded(ev) : l.objectRemoved(ev); });
    toAllPlayers([&](AvatarLink& l) { add ? l.objectAdded(ev) : l.objectRemoved(ev); });
  }
}

bool WorldCore::setEvent(int32_t botSession, int32_t event, bool on) {
  if (!net::eventByNumber(event)) return false;
  if (Entry* bot = find(bots_, botSession)) {
    if (on)
      bot->eventsOff.erase(event);
    else
      bot->eventsOff.insert(event);
  }
  return true;
}

bool WorldCore::sendAway(const std::string& name, std::string_view why) {
  Busy busy(*this);
  for (auto& [session, p] : players_) {
    if (p.gone || p.avatar.name != name) continue;
    const int32_t gone = session;
    std::shared_ptr<AvatarLink> link = p.link;
    link->worldMessage(why);
    link->dismiss(Dismissal::kSentAway);
    leave(gone);
    return true;
  }
  return false;
}

void WorldCore::announce(std::string_view text) {
  Busy busy(*this);
  toAllPlayers([&](AvatarLink& l) { l.worldMessage(text); });
}

}  // namespace kelva::world
