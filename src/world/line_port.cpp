#include "world/line_port.h"

#include "world/player_login.h"

namespace kelva::world {

class PlayerConnection : public SocketConnection, public AvatarLink {
 public:
  PlayerConnection(LinePort& port, tcp::socket socket)
      : SocketConnection(port.hub_, std::move(socket), port.hub_.limits.maxPlayerLine,
                         port.hub_.limits.playerOutputLimit, "\r\n"),
        port_(port), core_(port.core_), nameTimer_(port.hub_.io),
        flood_(port.hub_.limits.playerLinesPerSecond, port.hub_.limits.playerLineBurst) {}

  void sayGoodbye(const std::string& why) override { send("* Goodbye: " + why + "."); }

  std::string describe() const override {
    if (session_ != 0) return "player " + name_ + " (session " + std::to_string(session_) + ")";
    return "player connection from " + peer();
  }

  // What the world says, as the player reads it.
  void avatarArrived(const Avatar& who, Arrival how) override {
    switch (how) {
      case Arrival::kEntered:
        send("* " + who.name + (who.isBot() ? " enters the world." : " arrives."));
        return;
      case Arrival::kCameNear:
        send("* " + who.name + " comes near.");
        return;
      case Arrival::kAppeared:
        send("* " + who.name + " appears.");
        return;
    }
  }
  void avatarLeft(const Avatar& who, Departure how) override {
    switch (how) {
      case Departure::kLeft:
        send("* " + who.name + (who.isBot() ? " leaves the world." : " leaves."));
        return;
      case Departure::kWalkedAway:
        send("* " + who.name + " walks away.");
        return;
      case Departure::kVanished:
        send("* " + who.name + " vanishes.");
        return;
    }
  }
  void chat(const Avatar& speaker, std::string_view text) override {
    std::string line = speaker.name;
    line += ": ";
    line += text;
    send(line);
  }
  void whisper(const Avatar& from, std::string_view text) override {
    std::string line = from.name;
    line += " whispers: ";
    line += text;
    send(line);
  }
  void tell(const Avatar& from, std::string_view text) override {
    std::string line = from.name;
    line += " tells you: ";
    line += text;
    send(line);
  }
  void echo(std::string_view text, const Avatar* to) override {
    // A command is shown as the chat line it is; a tell names who heard it.
    std::string line = to ? "You tell " + to->name + ": " : name_ + ": ";
    line += text;
    send(line);
  }
  void worldMessage(std::string_view text) override {
    std::string line = "* ";
    line += text;
    send(line);
  }
  void dismiss(Dismissal) override { closeAfterFlush("the player left"); }

 protected:
  void onStart() override {
    counted_ = true;
    ++port_.connections_;
    send("* Welcome to " + core_.definition().name + ".");
    send("* What is your name?");
    nameTimer_.expires_after(std::chrono::seconds(hub_.limits.nameTimeoutSeconds));
    nameTimer_.async_wait([self = selfPointer()](const ErrorCode& ec) {
      if (!ec && self->session_ == 0 && self->isOpen()) {
        self->send("* No name was given in time. Goodbye.");
        self->closeAfterFlush("no name given in time");
      }
    });
  }

  void onLine(std::string_view line) override {
    if (session_ == 0) {
      login(line);
      return;
    }
    FloodBucket::Take take = flood_.take();
    if (!take.allowed) {
      if (take.warn) {
        hub_.log(describe() + " types too fast; " + std::to_string(take.dropped) + " line(s) dropped so far");
        send("* You are typing too fast; that line was dropped.");
      }
      return;
    }
    if (std::string problem = textProblem(line); !problem.empty()) {
      hub_.log(describe() + ": line refused: " + problem);
      send("* That line was not sent: " + problem + ".");
      return;
    }
    core_.playerAction(session_, parsePlayerLine(line));
  }

  void onOverlong() override {
    const std::string limit = std::to_string(hub_.limits.maxPlayerLine);
    hub_.log(describe() + ": a line longer than " + limit + " bytes was dropped");
    send("* That line was too long (more than " + limit + " bytes) and was dropped.");
  }

  void onClosed() override {
    nameTimer_.cancel();
    if (counted_) --port_.connections_;
    if (session_ != 0) core_.leave(session_);
  }

 private:
  std::shared_ptr<PlayerConnection> selfPointer() {
    return std::static_pointer_cast<PlayerConnection>(shared_from_this());
  }

  void login(std::string_view line) {
    using Step = PlayerLogin::Step;
    PlayerLogin::Outcome o = login_.offer(core_, line);
    switch (o.step) {
      case Step::kNameRefused:
        send("* That name cannot be used: " + o.problem + ". What is your name?");
        return;
      case Step::kPasswordAsked:
        send("* " + o.name + " is a registered name. Password?");
        return;
      case Step::kNameInUse:
        send("* " + o.name + " is already in the world. What is your name?");
        return;
      case Step::kWrongPassword:
        hub_.log("wrong password for " + o.name + " from " + peer());
        send("* Wrong password. What is your name?");
        return;
      case Step::kTooManyWrong:
        hub_.log("wrong password for " + o.name + " from " + peer());
        send("* Wrong password. Goodbye.");
        closeAfterFlush("three wrong passwords");
        return;
      case Step::kGuest:
        send("* " + o.typed + " is not registered: you are the guest " + o.name + ".");
        enter(o.name, AvatarKind::kGuest);
        return;
      case Step::kRegistered:
        enter(o.name, AvatarKind::kRegistered);
        return;
    }
  }

  void enter(const std::string& shownName, AvatarKind kind) {
    nameTimer_.cancel();
    name_ = shownName;
    session_ = core_.enter(selfPointer(), shownName, kind);
    // A client that could not take even its welcome was closed while it
    // entered, before it knew its session.
    if (isClosed()) core_.leave(session_);
    hub_.log(describe() + " entered from " + peer());
  }

  LinePort& port_;
  WorldCore& core_;
  asio::steady_timer nameTimer_;
  PlayerLogin login_;
  FloodBucket flood_;
  int32_t session_ = 0;  // 0 until the player has entered the world
  std::string name_;
  bool counted_ = false;  // a connection turned away as the world is full was never counted
};

LinePort::LinePort(ConnectionHub& hub, WorldCore& core, std::size_t maxPlayers)
    : hub_(hub), core_(core), maxPlayers_(maxPlayers), acceptor_(hub.io) {}

Status LinePort::open(const std::string& address, uint16_t port) {
  Status s = openListener(acceptor_, address, port, "player");
  if (s.isOk()) acceptMore();
  return s;
}

uint16_t LinePort::port() const { return acceptor_.local_endpoint().port(); }

void LinePort::closeListener() {
  ErrorCode ignored;
  acceptor_.close(ignored);
}

void LinePort::acceptMore() {
  acceptor_.async_accept([this](const ErrorCode& ec, tcp::socket socket) {
    if (hub_.stopped) return;
    if (ec) {
      hub_.log("accepting a player failed: " + ec.message());
    } else if (connections_ >= maxPlayers_) {
      auto c = std::make_shared<PlayerConnection>(*this, std::move(socket));
      c->turnAway("* The world is full; please try again later.", "the world is full");
    } else {
      auto c = std::make_shared<PlayerConnection>(*this, std::move(socket));
      hub_.log("player connection from " + c->peer());
      c->start();
    }
    acceptMore();
  });
}

}  // namespace kelva::world
