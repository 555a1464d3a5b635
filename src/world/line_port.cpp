#include "world/line_port.h"

#include "world/player_login.h"

namespace kelva::world {

class PlayerConnection : public SocketConnection, public AvatarLink {
 public:
  PlayerConnection(LinePort& port, tcp::socket socket)
      : SocketConnection(port.hub_, std::move(socket), port.hub_.limits.maxPlayerLine,
                         port.hub_.limits.playerOutputLimit, "\r\n", net::LineEnds::kAny),
        core_(port.core_), login_(port.hub_.guards.throttle, source()),
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
        send({"* ", who.name, who.isBot() ? " enters the world." : " arrives."});
        return;
      case Arrival::kCameNear:
        send({"* ", who.name, " comes near."});
        return;
      case Arrival::kAppeared:
        send({"* ", who.name, " appears."});
        return;
    }
  }
  void avatarLeft(const Avatar& who, Departure how) override {
    switch (how) {
      case Departure::kLeft:
        send({"* ", who.name, who.isBot() ? " leaves the world." : " leaves."});
        return;
      case Departure::kWalkedAway:
        send({"* ", who.name, " walks away."});
        return;
      case Departure::kVanished:
        send({"* ", who.name, " vanishes."});
        return;
    }
  }
  // Each line goes into the connection's queue in pieces: a crowd hearing
  // one chat line costs a copy of its bytes per listener, no string each.
  void chat(const Avatar& speaker, std::string_view text) override { send({speaker.name, ": ", text}); }
  void whisper(const Avatar& from, std::string_view text) override { send({from.name, " whispers: ", text}); }
  void tell(const Avatar& from, std::string_view text) override { send({from.name, " tells you: ", text}); }
  void echo(std::string_view text, const Avatar* to) override {
    // A command is shown as the chat line it is; a tell names who heard it.
    if (to)
      send({"You tell ", to->name, ": ", text});
    else
      send({name_, ": ", text});
  }
  void worldMessage(std::string_view text) override { send({"* ", text}); }
  void dismiss(Dismissal why) override {
    if (why == Dismissal::kLoggedInElsewhere) {
      send("* You logged in from elsewhere; this connection is closed. Goodbye.");
      closeAfterFlush(name_ + " logged in again from elsewhere");
      return;
    }
    closeAfterFlush("the player left");
  }

 protected:
  void onStart() override {
    send("* Welcome to " + core_.definition().name + ".");
    send("* What is your name?");
    watchDeadlines(Safeguards::playerTimeouts(hub_.limits));
  }

  void onDeadline(ConnectionTimeouts::Due due) override {
    using Due = ConnectionTimeouts::Due;
    const auto idle = std::chrono::duration_cast<std::chrono::seconds>(hub_.limits.idleTimeout);
    switch (due) {
      case Due::kLogInTooLate:
        send("* No name was given in time. Goodbye.");
        closeAfterFlush("no name given in time");
        return;
      case Due::kIdleWarning: {
        const std::chrono::seconds left = idleWarningLead(idle);
        send("* You have typed nothing for " + spokenDuration(idle - left) + "; type something within " +
             spokenDuration(left) + " or you will be disconnected.");
        return;
      }
      case Due::kIdleTooLong:
        send("* You typed nothing for " + spokenDuration(idle) + ". Goodbye.");
        closeAfterFlush("idle for " + spokenDuration(idle));
        return;
      case Due::kNothing:
        return;
    }
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
    if (session_ != 0) core_.leave(session_);
  }

 private:
  std::shared_ptr<PlayerConnection> selfPointer() {
    return std::static_pointer_cast<PlayerConnection>(shared_from_this());
  }

  void login(std::string_view line) { answer(login_.offer(core_, line)); }

  void answer(const PlayerLogin::Outcome& o) {
    using Step = PlayerLogin::Step;
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
        logWrongPassword(o.name);
        send("* Wrong password. What is your name?");
        return;
      case Step::kTooManyWrong:
        logWrongPassword(o.name);
        send("* Wrong password. Goodbye.");
        closeAfterFlush("three wrong passwords");
        return;
      case Step::kGuest:
        send("* " + o.typed + " is not registered: you are the guest " + o.name + ".");
        enter(o.name, AvatarKind::kGuest);
        return;
      case Step::kRegistered:
        if (o.takesOver) core_.takeOver(o.name);
        enter(o.name, AvatarKind::kRegistered);
        return;
      case Step::kGuestsClosed:
        send("* This world lets in registered players only. What is your name?");
        return;
      case Step::kGuestsFull:
        send("* There is no room for more guests (" + o.problem +
             " at most); a registered name may still enter. What is your name?");
        return;
      case Step::kThrottled:
        send(std::string("* Too many wrong passwords ") +
             (o.because == LoginThrottle::Because::kAddress ? "from your address" : "for " + o.name) +
             "; try again in " + spokenWait(o.wait) + ". What is your name?");
        return;
      case Step::kCheckLater:
        send("* Too many wrong passwords for " + o.name + " lately; yours is checked in " + spokenWait(o.wait) +
             ".");
        pauseFor(o.wait, [this] { answer(login_.checkHeld(core_)); });
        return;
    }
  }

  // A wait as the player reads it, rounded up to whole seconds.
  static std::string spokenWait(std::chrono::milliseconds wait) {
    return spokenDuration(std::chrono::ceil<std::chrono::seconds>(wait));
  }

  void logWrongPassword(const std::string& name) {
    hub_.guards.logOnce("wrong password " + name + " " + source(), "wrong password for " + name + " from " + peer());
  }

  void enter(const std::string& shownName, AvatarKind kind) {
    loggedIn();
    name_ = shownName;
    session_ = core_.enter(selfPointer(), shownName, kind);
    // A client that could not take even its welcome was closed while it
    // entered, before it knew its session.
    if (isClosed()) core_.leave(session_);
    hub_.log(describe() + " entered from " + peer());
  }

  WorldCore& core_;
  PlayerLogin login_;
  FloodBucket flood_;
  int32_t session_ = 0;  // 0 until the player has entered the world
  std::string name_;
};

void LinePort::accepted(tcp::socket socket) {
  admit(std::make_shared<PlayerConnection>(*this, std::move(socket)), hub_.guards.players, "players",
        [](const ConnectionCaps::Admission& a) {
          // The line players have always read when the world is full.
          return a.cap == "total" ? std::string("* The world is full; please try again later.")
                                  : "* Sorry, " + a.refusal + ". Goodbye.";
        });
}

}  // namespace kelva::world
