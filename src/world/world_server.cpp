#include "world/world_server.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <chrono>
#include <map>
#include <set>
#include <vector>

#include "net/bot_protocol.h"
#include "net/line_buffer.h"
#include "world/player_input.h"

namespace kelva::world {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

// An object whose action hides it ("create solid no,visible no": a picked
// shroom) cannot be seen or clicked by players.
bool visible(const WorldObject& o) { return o.action.find("visible no") == std::string::npos; }

int64_t distanceSquared(int64_t ax, int64_t az, int64_t bx, int64_t bz) {
  return (ax - bx) * (ax - bx) + (az - bz) * (az - bz);
}

net::WorldEvent objectEvent(net::EventKind kind, const WorldObject& o) {
  net::WorldEvent e;
  e.kind = kind;
  e.set("ObjectNumber", o.number)
      .set("ObjectX", o.x)
      .set("ObjectY", o.y)
      .set("ObjectZ", o.z)
      .set("ObjectYaw", int32_t{o.yaw})
      .set("ObjectModel", o.model)
      .set("ObjectDescription", o.description)
      .set("ObjectAction", o.action)
      .set("ObjectOwner", o.owner);
  return e;
}

}  // namespace

class Connection;
class PlayerConnection;
class BotConnection;

class WorldServer::Impl {
 public:
  Impl(asio::io_context& io, WorldDefinition def, ServerOptions options, std::ostream& log)
      : io_(io), def_(std::move(def)), options_(std::move(options)), log_(log), playerAcceptor_(io),
        botAcceptor_(io) {
    for (const WorldObject& o : def_.objects) world_.add(o);
  }

  Status start();
  void stop();

  void log(const std::string& line) { log_ << "kelva-world: " << line << std::endl; }

  // Players.
  void playerEntered(const std::shared_ptr<PlayerConnection>& player);
  void playerLeft(PlayerConnection& player);
  void playerAction(PlayerConnection& player, const PlayerAction& action);
  bool nameInUse(const std::string& name) const;
  const PlayerAccount* account(const std::string& name) const;
  std::size_t playerConnections() const { return playerConnections_; }

  // Bots.
  void botCall(BotConnection& bot, const net::BotCall& call);
  void botClosed(BotConnection& bot);

  asio::io_context& io_;
  WorldDefinition def_;
  ServerOptions options_;
  std::ostream& log_;
  World world_;
  tcp::acceptor playerAcceptor_;
  tcp::acceptor botAcceptor_;
  bool stopped_ = false;
  int32_t nextSession_ = 1;
  std::size_t playerConnections_ = 0;
  std::set<std::shared_ptr<Connection>> connections_;
  std::map<int32_t, std::shared_ptr<PlayerConnection>> players_;  // in the world, by session
  std::map<int32_t, std::shared_ptr<BotConnection>> bots_;        // logged in, by session

 private:
  void acceptPlayers();
  void acceptBots();
  void toBots(const net::WorldEvent& event);
  void tellNear(int32_t x, int32_t z, const std::string& line, int32_t exceptSession);
  void objectEvents(const std::vector<ObjectEvent>& events);
  void startBot(BotConnection& bot, const net::BotCall& call);
  void query(BotConnection& bot, const net::BotCall& call);
  bool near(int32_t ax, int32_t az, int32_t bx, int32_t bz) const {
    // The square test runs only within the range on each axis, where the
    // squares cannot overflow even at the far ends of the world.
    const int64_t range = def_.nearRange;
    const int64_t dx = int64_t{ax} - bx;
    const int64_t dz = int64_t{az} - bz;
    if (dx < -range || dx > range || dz < -range || dz > range) return false;
    return distanceSquared(ax, az, bx, bz) <= range * range;
  }
};

// One client's socket: reads lines, writes bounded output, closes once.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(WorldServer::Impl& server, tcp::socket socket, std::size_t maxLine, std::size_t outputLimit,
             const char* lineEnd)
      : server_(server), socket_(std::move(socket)), lines_(maxLine), outputLimit_(outputLimit),
        lineEnd_(lineEnd), closeTimer_(server.io_) {
    std::error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);
    auto endpoint = socket_.remote_endpoint(ec);
    peer_ = ec ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
  }
  virtual ~Connection() = default;

  void start() {
    onStart();
    readMore();
  }

  void send(std::string_view line) {
    if (closed_ || closing_) return;
    if (pending_.size() + inFlight_.size() + line.size() + 2 > outputLimit_) {
      // The client does not read what it is sent: holding more would let one
      // client eat the server's memory, and waiting would stall everyone.
      close("it does not read its output (" + std::to_string(outputLimit_) + " bytes unsent)");
      return;
    }
    pending_.append(line);
    pending_.append(lineEnd_);
    if (!writing_) writeMore();
  }

  // Sends what is queued, then closes; a client that does not take it within
  // two seconds is closed anyway.
  void closeAfterFlush(const std::string& reason) {
    if (closed_ || closing_) return;
    closing_ = true;
    closeReason_ = reason;
    if (!writing_) {
      close(reason);
      return;
    }
    closeTimer_.expires_after(std::chrono::seconds(2));
    closeTimer_.async_wait([self = shared_from_this()](std::error_code ec) {
      if (!ec) self->close(self->closeReason_ + " (output not taken)");
    });
  }

  void close(const std::string& reason) {
    if (closed_) return;
    closed_ = true;
    std::error_code ignored;
    closeTimer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    server_.log(describe() + " disconnected: " + reason);
    onClosed();
    server_.connections_.erase(shared_from_this());
  }

  bool isOpen() const { return !closed_ && !closing_; }
  const std::string& peer() const { return peer_; }
  virtual std::string describe() const = 0;
  // Tells the client, in its own language, why the world lets it go.
  virtual void sayGoodbye(const std::string& why) = 0;

 protected:
  virtual void onStart() {}
  virtual void onLine(std::string_view line) = 0;
  virtual void onOverlong() = 0;
  virtual void onClosed() = 0;

  WorldServer::Impl& server_;

 private:
  void readMore() {
    socket_.async_read_some(asio::buffer(readBuffer_), [self = shared_from_this()](std::error_code ec,
                                                                                   std::size_t n) {
      if (self->closed_) return;
      if (ec) {
        self->close(ec == asio::error::eof ? "the client closed the connection" : ec.message());
        return;
      }
      if (self->closing_) return;
      self->lines_.feed(
          std::string_view(self->readBuffer_.data(), n),
          [&](std::string_view line) {
            self->onLine(line);
            return self->isOpen();
          },
          [&] {
            self->onOverlong();
            return self->isOpen();
          });
      if (self->isOpen()) self->readMore();
    });
  }

  void writeMore() {
    inFlight_.swap(pending_);
    pending_.clear();
    writing_ = true;
    asio::async_write(socket_, asio::buffer(inFlight_), [self = shared_from_this()](std::error_code ec,
                                                                                    std::size_t) {
      self->writing_ = false;
      self->inFlight_.clear();
      if (self->closed_) return;
      if (ec) {
        self->close("write failed: " + ec.message());
        return;
      }
      if (!self->pending_.empty()) {
        self->writeMore();
      } else if (self->closing_) {
        self->close(self->closeReason_);
      }
    });
  }

  tcp::socket socket_;
  net::LineBuffer lines_;
  std::size_t outputLimit_;
  const char* lineEnd_;
  asio::steady_timer closeTimer_;
  std::array<char, 4096> readBuffer_{};
  std::string pending_;
  std::string inFlight_;
  std::string closeReason_;
  std::string peer_;
  bool writing_ = false;
  bool closing_ = false;
  bool closed_ = false;
};

class PlayerConnection : public Connection {
 public:
  PlayerConnection(WorldServer::Impl& server, tcp::socket socket)
      : Connection(server, std::move(socket), server.options_.maxPlayerLine, server.options_.playerOutputLimit,
                   "\r\n"),
        nameTimer_(server.io_), tokens_(server.options_.playerLineBurst), lastRefill_(Clock::now()) {}

  enum class Stage { kName, kPassword, kPlaying };
  Stage stage = Stage::kName;
  int32_t session = 0;
  std::string name;  // as shown in the world: a guest's in double quotes
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;

  void sayGoodbye(const std::string& why) override { send("* Goodbye: " + why + "."); }

  std::string describe() const override {
    if (stage == Stage::kPlaying) return "player " + name + " (session " + std::to_string(session) + ")";
    return "player connection from " + peer();
  }

 protected:
  void onStart() override {
    counted_ = true;
    ++server_.playerConnections_;
    send("* Welcome to " + server_.def_.name + ".");
    send("* What is your name?");
    nameTimer_.expires_after(std::chrono::seconds(server_.options_.nameTimeoutSeconds));
    nameTimer_.async_wait([self = std::static_pointer_cast<PlayerConnection>(shared_from_this())](
                              std::error_code ec) {
      if (!ec && self->stage != Stage::kPlaying && self->isOpen()) {
        self->send("* No name was given in time. Goodbye.");
        self->closeAfterFlush("no name given in time");
      }
    });
  }

  void onLine(std::string_view line) override {
    if (stage != Stage::kPlaying) {
      login(line);
      return;
    }
    if (!takeToken()) return;
    if (std::string problem = textProblem(line); !problem.empty()) {
      server_.log(describe() + ": line refused: " + problem);
      send("* That line was not sent: " + problem + ".");
      return;
    }
    server_.playerAction(*this, parsePlayerLine(line));
  }

  void onOverlong() override {
    server_.log(describe() + ": a line longer than " + std::to_string(server_.options_.maxPlayerLine) +
                " bytes was dropped");
    send("* That line was too long (more than " + std::to_string(server_.options_.maxPlayerLine) +
         " bytes) and was dropped.");
  }

  void onClosed() override {
    nameTimer_.cancel();
    if (counted_) --server_.playerConnections_;
    if (stage == Stage::kPlaying) server_.playerLeft(*this);
  }

 private:
  // Lines beyond the allowed rate are dropped, so one player cannot bury
  // the bot and the others under a flood; the player hears it at most once
  // a second.
  bool takeToken() {
    Clock::time_point now = Clock::now();
    double elapsed = std::chrono::duration<double>(now - lastRefill_).count();
    lastRefill_ = now;
    tokens_ = std::min(server_.options_.playerLineBurst, tokens_ + elapsed * server_.options_.playerLinesPerSecond);
    if (tokens_ >= 1.0) {
      tokens_ -= 1.0;
      return true;
    }
    ++dropped_;
    if (now - lastWarning_ >= std::chrono::seconds(1)) {
      lastWarning_ = now;
      server_.log(describe() + " types too fast; " + std::to_string(dropped_) + " line(s) dropped so far");
      send("* You are typing too fast; that line was dropped.");
    }
    return false;
  }

  void login(std::string_view line) {
    if (stage == Stage::kPassword) {
      const PlayerAccount* acc = server_.account(chosen_);
      if (acc && line == acc->password) {
        if (server_.nameInUse(chosen_)) {
          send("* " + chosen_ + " is already in the world. What is your name?");
          stage = Stage::kName;
          return;
        }
        enter(chosen_);
        return;
      }
      server_.log("wrong password for " + chosen_ + " from " + peer());
      if (--passwordTries_ <= 0) {
        send("* Wrong password. Goodbye.");
        closeAfterFlush("three wrong passwords");
        return;
      }
      send("* Wrong password. What is your name?");
      stage = Stage::kName;
      return;
    }

    std::string_view typed = line;
    while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
    while (!typed.empty() && (typed.back() == ' ' || typed.back() == '\t')) typed.remove_suffix(1);
    if (std::string problem = nameProblem(typed); !problem.empty()) {
      send("* That name cannot be used: " + problem + ". What is your name?");
      return;
    }
    std::string chosen(typed);
    if (server_.account(chosen)) {
      chosen_ = chosen;
      stage = Stage::kPassword;
      send("* " + chosen + " is a registered name. Password?");
      return;
    }
    // A guest is shown in double quotes, which no registered name starts
    // with: the game's administrator test compares names exactly, so a guest
    // can never pass for a registered avatar.
    std::string shown = "\"" + chosen + "\"";
    if (server_.nameInUse(shown)) {
      send("* " + shown + " is already in the world. What is your name?");
      return;
    }
    send("* " + chosen + " is not registered: you are the guest " + shown + ".");
    enter(shown);
  }

  void enter(const std::string& shownName) {
    nameTimer_.cancel();
    name = shownName;
    stage = Stage::kPlaying;
    server_.playerEntered(std::static_pointer_cast<PlayerConnection>(shared_from_this()));
  }

  asio::steady_timer nameTimer_;
  std::string chosen_;
  int passwordTries_ = 3;
  bool counted_ = false;  // a connection turned away as the world is full was never counted
  double tokens_;
  Clock::time_point lastRefill_;
  Clock::time_point lastWarning_{};
  uint64_t dropped_ = 0;
};

class BotConnection : public Connection {
 public:
  BotConnection(WorldServer::Impl& server, tcp::socket socket)
      : Connection(server, std::move(socket), net::kMaxBotLine, server.options_.botOutputLimit, "\n") {}

  bool loggedIn = false;
  int32_t citizen = 0;
  int32_t session = 0;
  std::string name;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  std::set<int32_t> eventsOff;
  QueryCursor query;

  std::string describe() const override {
    if (loggedIn) return "bot " + name + " (citizen " + std::to_string(citizen) + ")";
    return "bot connection from " + peer();
  }

  void sayGoodbye(const std::string& why) override { send(net::encodeNotice({why})); }

  void refuse(const std::string& message) {
    server_.log(describe() + ": " + message);
    send(net::encodeNotice({message}));
  }

 protected:
  void onLine(std::string_view line) override {
    Result<net::BotCall> call = net::parseBotLine(line);
    if (!call.isOk()) {
      refuse(call.status().message());
      return;
    }
    server_.botCall(*this, call.value());
  }
  void onOverlong() override {
    refuse("a line longer than " + std::to_string(net::kMaxBotLine) + " bytes was dropped");
  }
  void onClosed() override { server_.botClosed(*this); }
};

Status WorldServer::Impl::start() {
  std::error_code ec;
  asio::ip::address address = asio::ip::make_address(options_.bindAddress, ec);
  if (ec) return Status::error("cannot listen on " + options_.bindAddress + ": " + ec.message());
  auto open = [&](tcp::acceptor& acceptor, uint16_t port, const char* what) -> Status {
    tcp::endpoint endpoint(address, port);
    std::error_code e;
    acceptor.open(endpoint.protocol(), e);
    if (!e) acceptor.set_option(tcp::acceptor::reuse_address(true), e);
    if (!e) acceptor.bind(endpoint, e);
    if (!e) acceptor.listen(asio::socket_base::max_listen_connections, e);
    if (e)
      return Status::error(std::string("cannot open the ") + what + " port " + options_.bindAddress + ":" +
                           std::to_string(port) + ": " + e.message());
    return Status::ok();
  };
  if (Status s = open(playerAcceptor_, options_.playerPort, "player"); !s.isOk()) return s;
  if (Status s = open(botAcceptor_, options_.botPort, "bot"); !s.isOk()) return s;
  log("world " + def_.name + " with " + std::to_string(world_.objects().size()) + " objects: players on " +
      options_.bindAddress + ":" + std::to_string(playerAcceptor_.local_endpoint().port()) + ", bots on " +
      options_.bindAddress + ":" + std::to_string(botAcceptor_.local_endpoint().port()));
  acceptPlayers();
  acceptBots();
  return Status::ok();
}

void WorldServer::Impl::stop() {
  if (stopped_) return;
  stopped_ = true;
  std::error_code ignored;
  playerAcceptor_.close(ignored);
  botAcceptor_.close(ignored);
  auto all = connections_;  // closing removes them from the set
  for (const auto& c : all) {
    c->sayGoodbye("the world is closing");
    c->closeAfterFlush("the world is closing");
  }
  log("stopped");
}

void WorldServer::Impl::acceptPlayers() {
  playerAcceptor_.async_accept([this](std::error_code ec, tcp::socket socket) {
    if (stopped_) return;
    if (ec) {
      log("accepting a player failed: " + ec.message());
    } else if (playerConnections_ >= options_.maxPlayers) {
      auto c = std::make_shared<PlayerConnection>(*this, std::move(socket));
      connections_.insert(c);
      c->send("* The world is full; please try again later.");
      c->closeAfterFlush("the world is full");
    } else {
      auto c = std::make_shared<PlayerConnection>(*this, std::move(socket));
      connections_.insert(c);
      log("player connection from " + c->peer());
      c->start();
    }
    acceptPlayers();
  });
}

void WorldServer::Impl::acceptBots() {
  botAcceptor_.async_accept([this](std::error_code ec, tcp::socket socket) {
    if (stopped_) return;
    if (ec) {
      log("accepting a bot failed: " + ec.message());
    } else {
      auto c = std::make_shared<BotConnection>(*this, std::move(socket));
      connections_.insert(c);
      log("bot connection from " + c->peer());
      c->start();
    }
    acceptBots();
  });
}

bool WorldServer::Impl::nameInUse(const std::string& name) const {
  for (const auto& [session, p] : players_)
    if (p->name == name) return true;
  for (const auto& [session, b] : bots_)
    if (b->name == name) return true;
  return false;
}

const PlayerAccount* WorldServer::Impl::account(const std::string& name) const {
  for (const PlayerAccount& a : def_.players)
    if (a.name == name) return &a;
  return nullptr;
}

void WorldServer::Impl::toBots(const net::WorldEvent& event) {
  std::string line = net::encodeEvent(event);
  auto bots = bots_;  // a bot past its output bound leaves the map while we go
  for (const auto& [session, bot] : bots)
    if (!bot->eventsOff.count(static_cast<int32_t>(event.kind))) bot->send(line);
}

void WorldServer::Impl::tellNear(int32_t x, int32_t z, const std::string& line, int32_t exceptSession) {
  auto players = players_;
  for (const auto& [session, p] : players)
    if (session != exceptSession && near(x, z, p->x, p->z)) p->send(line);
}

void WorldServer::Impl::playerEntered(const std::shared_ptr<PlayerConnection>& player) {
  player->session = nextSession_++;
  player->x = def_.entryX;
  player->y = def_.entryY;
  player->z = def_.entryZ;
  players_[player->session] = player;
  log(player->describe() + " entered from " + player->peer());
  player->send("* You are " + player->name + ", at " + std::to_string(player->x) + " " + std::to_string(player->y) +
               " " + std::to_string(player->z) + ". Type .help for the world's actions.");
  tellNear(player->x, player->z, "* " + player->name + " arrives.", player->session);
  net::WorldEvent e;
  e.kind = net::EventKind::kAvatarArrival;
  e.set("AvatarName", player->name).set("AvatarSession", player->session);
  toBots(e);
}

void WorldServer::Impl::playerLeft(PlayerConnection& player) {
  players_.erase(player.session);
  tellNear(player.x, player.z, "* " + player.name + " leaves.", player.session);
}

void WorldServer::Impl::playerAction(PlayerConnection& player, const PlayerAction& action) {
  switch (action.kind) {
    case PlayerActionKind::kNothing:
      return;
    case PlayerActionKind::kChat: {
      tellNear(player.x, player.z, player.name + ": " + action.text, player.session);
      net::WorldEvent e;
      e.kind = net::EventKind::kChat;
      e.set("AvatarName", player.name)
          .set("AvatarSession", player.session)
          .set("ChatSession", player.session)
          .set("ChatMessage", action.text);
      toBots(e);
      return;
    }
    case PlayerActionKind::kLook: {
      std::vector<std::pair<int64_t, const WorldObject*>> seen;
      for (const auto& [number, o] : world_.objects())
        if (visible(o) && near(player.x, player.z, o.x, o.z))
          seen.push_back({distanceSquared(player.x, player.z, o.x, o.z), &o});
      std::stable_sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      if (seen.empty()) {
        player.send("* There is nothing to click near you.");
        return;
      }
      constexpr std::size_t kShown = 40;
      player.send("* Near you (nearest first; .click N to click one):");
      for (std::size_t i = 0; i < seen.size() && i < kShown; ++i) {
        const WorldObject& o = *seen[i].second;
        player.send("*   " + std::to_string(o.number) + " " + o.model +
                    (o.description.empty() ? std::string() : ": " + o.description));
      }
      if (seen.size() > kShown) player.send("*   ... and " + std::to_string(seen.size() - kShown) + " more.");
      return;
    }
    case PlayerActionKind::kWho: {
      std::string line = "* In the world:";
      bool first = true;
      for (const auto& [session, b] : bots_) {
        line += (first ? " " : ", ") + b->name + " (bot)";
        first = false;
      }
      for (const auto& [session, p] : players_) {
        line += (first ? " " : ", ") + p->name + (p.get() == &player ? " (you)" : "");
        first = false;
      }
      player.send(line);
      return;
    }
    case PlayerActionKind::kClick: {
      const WorldObject* o = world_.find(action.number);
      if (!o || !visible(*o) || !near(player.x, player.z, o->x, o->z)) {
        player.send("* There is no object " + std::to_string(action.number) + " near you.");
        return;
      }
      if (bots_.empty()) {
        player.send("* Nothing happens: the bot is not in the world.");
        return;
      }
      bool heard = false;
      for (const auto& [session, b] : bots_)
        if (!b->eventsOff.count(static_cast<int32_t>(net::EventKind::kObjectClick))) heard = true;
      if (!heard) {
        // The bot is still handling another click; a real world drops the
        // click too, but the player should know to try again.
        player.send("* The bot is busy; click again.");
        return;
      }
      net::WorldEvent e = objectEvent(net::EventKind::kObjectClick, *o);
      e.set("AvatarName", player.name).set("AvatarSession", player.session);
      toBots(e);
      return;
    }
    case PlayerActionKind::kAttack: {
      int32_t clickedSession = 0;
      int32_t cx = 0;
      int32_t cz = 0;
      for (const auto& [session, p] : players_)
        if (p->name == action.text) clickedSession = session, cx = p->x, cz = p->z;
      for (const auto& [session, b] : bots_)
        if (b->name == action.text) clickedSession = session, cx = b->x, cz = b->z;
      if (clickedSession == 0 || !near(player.x, player.z, cx, cz)) {
        player.send("* There is nobody called " + action.text + " near you (names as .who shows them).");
        return;
      }
      if (clickedSession == player.session) {
        player.send("* You cannot click yourself.");
        return;
      }
      if (bots_.empty()) {
        player.send("* Nothing happens: the bot is not in the world.");
        return;
      }
      net::WorldEvent e;
      e.kind = net::EventKind::kAvatarClick;
      e.set("AvatarName", player.name)
          .set("AvatarSession", player.session)
          .set("ClickedName", action.text)
          .set("ClickedSession", clickedSession);
      toBots(e);
      return;
    }
    case PlayerActionKind::kMove:
      tellNear(player.x, player.z, "* " + player.name + " walks away.", player.session);
      player.x = action.x;
      player.z = action.z;
      player.send("* You are at " + std::to_string(player.x) + " " + std::to_string(player.y) + " " +
                  std::to_string(player.z) + ".");
      tellNear(player.x, player.z, "* " + player.name + " comes near.", player.session);
      return;
    case PlayerActionKind::kHelp:
      player.send(kHelpLine);
      return;
    case PlayerActionKind::kQuit:
      player.send("* Goodbye.");
      player.closeAfterFlush("the player left");
      return;
    case PlayerActionKind::kUnknown:
      player.send("* There is no action " + action.text + ". Type .help for the world's actions.");
      return;
    case PlayerActionKind::kMisused:
      player.send(action.text);
      return;
  }
}

void WorldServer::Impl::objectEvents(const std::vector<ObjectEvent>& events) {
  for (const ObjectEvent& ev : events) {
    bool add = ev.kind == ObjectEvent::Kind::kAdd;
    net::WorldEvent e = objectEvent(add ? net::EventKind::kObjectAdd : net::EventKind::kObjectDelete, ev.object);
    e.set("CellX", ev.cell.x).set("CellZ", ev.cell.z).set("CellSequence", ev.sequence);
    toBots(e);
  }
}

void WorldServer::Impl::startBot(BotConnection& bot, const net::BotCall& call) {
  net::Reply reply{net::CallKind::kStartBot, call.id, 0, 0};
  const BotAccount* account = nullptr;
  for (const BotAccount& a : def_.bots)
    if (a.citizen == call.citizen && a.password == call.password) account = &a;
  if (bot.loggedIn) {
    reply.value = 4;
  } else if (!account) {
    reply.value = 1;
  } else if (call.world != def_.name) {
    reply.value = 2;
  } else if (!nameProblem(call.botName).empty()) {
    reply.value = 3;
  }
  if (reply.value != 0) {
    log(bot.describe() + ": login refused with code " + std::to_string(reply.value) + " (citizen " +
        std::to_string(call.citizen) + ")");
    bot.send(net::encodeReply(reply));
    return;
  }
  // One login per citizen: a bot that logs in again (say after its old
  // connection broke without the server noticing) replaces its old self.
  for (const auto& [session, other] : std::map(bots_)) {
    if (other->citizen == call.citizen) {
      other->send(net::encodeNotice({"logged in again elsewhere"}));
      other->close("citizen " + std::to_string(call.citizen) + " logged in again");
    }
  }
  bot.loggedIn = true;
  bot.citizen = call.citizen;
  bot.session = nextSession_++;
  bot.name = call.botName;
  bot.x = call.x;
  bot.y = call.y;
  bot.z = call.z;
  bots_[bot.session] = std::static_pointer_cast<BotConnection>(bot.shared_from_this());
  reply.session = bot.session;
  bot.send(net::encodeReply(reply));
  log(bot.describe() + " logged in as session " + std::to_string(bot.session));
  for (const auto& [session, p] : players_) p->send("* " + bot.name + " enters the world.");
  // The bot meets everyone already here, as if they had just arrived.
  for (const auto& [session, p] : players_) {
    net::WorldEvent e;
    e.kind = net::EventKind::kAvatarArrival;
    e.set("AvatarName", p->name).set("AvatarSession", session);
    bot.send(net::encodeEvent(e));
  }
}

void WorldServer::Impl::query(BotConnection& bot, const net::BotCall& call) {
  QueryCursor::Round round =
      bot.query.answer(world_, call.sectorX, call.sectorZ, static_cast<std::size_t>(def_.queryCellsPerAnswer));
  for (CellKey cell : round.cells) {
    std::vector<const WorldObject*> objects = world_.objectsIn(cell);
    if (objects.empty()) continue;  // emptied since the query began
    net::WorldEvent begin;
    begin.kind = net::EventKind::kCellBegin;
    begin.set("CellX", cell.x).set("CellZ", cell.z).set("CellSequence", world_.sequence(cell));
    bot.send(net::encodeEvent(begin));
    for (const WorldObject* o : objects) bot.send(net::encodeEvent(objectEvent(net::EventKind::kCellObject, *o)));
  }
  net::WorldEvent done;
  done.kind = net::EventKind::kQueryComplete;
  done.set("QueryComplete", round.complete);
  bot.send(net::encodeEvent(done));
}

void WorldServer::Impl::botCall(BotConnection& bot, const net::BotCall& call) {
  using net::CallKind;
  switch (call.kind) {
    case CallKind::kInit:
    case CallKind::kWait:
      return;  // nothing to do: the bot is alive and pumping its events
    case CallKind::kSectorFromCell:
      bot.send(net::encodeReply({CallKind::kSectorFromCell, call.id, sectorFromCell(call.value), 0}));
      return;
    case CallKind::kStartBot:
      startBot(bot, call);
      return;
    case CallKind::kTerm:
      bot.closeAfterFlush("the bot ended its session");
      return;
    default:
      break;
  }
  if (!bot.loggedIn) {
    bot.refuse(std::string(net::callName(call.kind)) + " before StartBot was refused");
    return;
  }
  switch (call.kind) {
    case CallKind::kQuery:
      query(bot, call);
      return;
    case CallKind::kSay: {
      std::string line = bot.name + ": " + call.text;
      auto players = players_;
      for (const auto& [session, p] : players) p->send(line);
      return;
    }
    case CallKind::kWhisper: {
      // A whisper to a player who has left is dropped quietly: battles and
      // replies may still be on their way when someone disconnects.
      auto it = players_.find(call.value);
      if (it != players_.end()) it->second->send(bot.name + " whispers: " + call.text);
      return;
    }
    case CallKind::kTeleport: {
      auto it = players_.find(call.value);
      if (it == players_.end()) return;
      PlayerConnection& p = *it->second;
      tellNear(p.x, p.z, "* " + p.name + " vanishes.", p.session);
      p.x = call.teleportX;
      p.y = call.teleportY;
      p.z = call.teleportZ;
      p.send("* You are moved to " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) +
             ".");
      tellNear(p.x, p.z, "* " + p.name + " appears.", p.session);
      return;
    }
    case CallKind::kObjectChange: {
      const WorldObject* old = world_.find(call.oldNumber);
      if (!old) {
        bot.refuse("ObjectChange: there is no object " + std::to_string(call.oldNumber));
        return;
      }
      if (cellFromCoordinate(old->x) != cellFromCoordinate(call.oldX) ||
          cellFromCoordinate(old->z) != cellFromCoordinate(call.oldZ)) {
        // The number names the object; a stale old position is only noted.
        log(bot.describe() + ": ObjectChange of " + std::to_string(call.oldNumber) +
            " gave an old position in another cell");
      }
      objectEvents(*world_.change(call.oldNumber, call.object));
      return;
    }
    case CallKind::kEventOff:
    case CallKind::kEventOn:
      if (!net::eventByNumber(call.value)) {
        bot.refuse(std::string(net::callName(call.kind)) + ": there is no event " + std::to_string(call.value));
        return;
      }
      if (call.kind == CallKind::kEventOff)
        bot.eventsOff.insert(call.value);
      else
        bot.eventsOff.erase(call.value);
      return;
    case CallKind::kDestroy:
      log(bot.describe() + " left the world");
      bots_.erase(bot.session);
      bot.loggedIn = false;
      for (const auto& [session, p] : std::map(players_)) p->send("* " + bot.name + " leaves the world.");
      return;
    default:
      return;
  }
}

void WorldServer::Impl::botClosed(BotConnection& bot) {
  if (!bot.loggedIn) return;
  auto it = bots_.find(bot.session);
  if (it != bots_.end() && it->second.get() == &bot) bots_.erase(it);
  bot.loggedIn = false;
  for (const auto& [session, p] : std::map(players_)) p->send("* " + bot.name + " leaves the world.");
}

WorldServer::WorldServer(asio::io_context& io, WorldDefinition world, ServerOptions options, std::ostream& log)
    : impl_(std::make_unique<Impl>(io, std::move(world), std::move(options), log)) {}

WorldServer::~WorldServer() = default;

Status WorldServer::start() { return impl_->start(); }
uint16_t WorldServer::playerPort() const { return impl_->playerAcceptor_.local_endpoint().port(); }
uint16_t WorldServer::botPort() const { return impl_->botAcceptor_.local_endpoint().port(); }
void WorldServer::stop() { impl_->stop(); }

}  // namespace kelva::world
