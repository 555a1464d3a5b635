#include "world/ports/line_port.h"

#include "world/ports/password_echo.h"
#include "world/ports/player_gate.h"
#include "world/ports/player_texts.h"

namespace kelva::world {

class PlayerConnection : public SocketConnection, public AvatarLink, public PlayerGate::Voice {
 public:
  PlayerConnection(LinePort& port, tcp::socket socket)
      : SocketConnection(port.hub_, std::move(socket), port.hub_.limits.maxPlayerLine,
                         port.hub_.limits.playerOutputLimit, "\r\n", net::LineEnds::kAny),
        core_(port.core_), gate_(*this, port.hub_, port.core_, source(), peer(), ""), counted_(port.hub_.metrics, "line") {}

  void sayGoodbye(const std::string& why) override { send("* Goodbye: " + why + "."); }

  std::string describe() const override {
    if (session_ != 0) return "player " + name_ + " (session " + std::to_string(session_) + ")";
    return "player connection from " + peer();
  }

  // What the world says, as the player reads it.
  void avatarArrived(const Avatar& who, Arrival how) override { send({"* ", arrivalText(who, how)}); }
  void avatarLeft(const Avatar& who, Departure how) override { send({"* ", departureText(who, how)}); }
  // Each line goes into the connection's queue in pieces: a crowd hearing
  // one chat line costs a copy of its bytes per listener, no string each.
  void chat(const Avatar& speaker, std::string_view text) override { send({speaker.name, ": ", text}); }
  void whisper(const Avatar& from, std::string_view text) override { send({from.name, " whispers: ", text}); }
  void tell(const Avatar& from, std::string_view text) override { send({from.name, " tells you: ", text}); }
  void echo(std::string_view text, const Avatar* to) override {
    // A command is shown as the chat line it is; a tell names who heard it.
    // The command's echo waits for its answer, a little longer than the
    // bot's 250 ms pump, so the two leave in one write: half the writes for
    // a crowd of players sending commands. The player's own terminal shows
    // what was typed at once.
    if (to)
      send({"You tell ", to->name, ": ", text});
    else
      sendSoon({name_, ": ", text}, std::chrono::milliseconds(300));
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
    if (due == Due::kNothing) return;
    send("* " + deadlineText(due, idle));
    if (due == Due::kLogInTooLate) closeAfterFlush("no name given in time");
    if (due == Due::kIdleTooLong) closeAfterFlush("idle for " + spokenDuration(idle));
  }

  void onLine(std::string_view typed) override {
    const std::string line = echo_.read(typed);
    if (session_ == 0) {
      if (std::string echoBack = echo_.show(); !echoBack.empty()) send(echoBack);
      gate_.offer(line);
      return;
    }
    if (gate_.withinAllowance() && gate_.lineFits(line) && !gate_.accountCommand(line, name_, kind_))
      core_.playerAction(session_, parsePlayerLine(line));
  }

  void onOverlong() override { gate_.overlong(); }

  void onClosed() override {
    if (session_ != 0) core_.leave(session_);
  }

 private:
  std::shared_ptr<PlayerConnection> selfPointer() {
    return std::static_pointer_cast<PlayerConnection>(shared_from_this());
  }

  // What the gate says and does, on this port.
  void sayLogin(PlayerLogin::Step step, const std::string& text) override {
    if (step == PlayerLogin::Step::kPasswordAsked)
      askPassword(text);
    else
      send({"* ", text});
  }
  // The password prompt asks a telnet client to leave the echo to the world,
  // which echoes nothing; a client not known to speak telnet is warned on
  // the prompt's own line, so the prompt stays the one line to answer.
  void askPassword(const std::string& prompt) {
    send({"* ", prompt, echo_.telnet() ? "" : " (Plain nc shows it as you type; telnet hides it.)", echo_.hide()});
  }
  void sayDropped(const std::string& text) override { send({"* ", text}); }
  void holdFor(std::chrono::milliseconds wait, std::function<void()> then) override {
    pauseFor(wait, std::move(then));
  }
  bool holdWhile(std::function<bool()> work, std::function<void(HashAnswer)> then) override {
    return pauseWhile(std::move(work), std::move(then));
  }
  void tellPlayer(const std::string& text) override { send({"* ", text}); }
  void letGo(const std::string& reason) override { closeAfterFlush(reason); }
  void enterWorld(const std::string& shownName, AvatarKind kind) override {
    loggedIn();
    name_ = shownName;
    kind_ = kind;
    session_ = core_.enter(selfPointer(), shownName, kind);
    // A client that could not take even its welcome was closed while it
    // entered, before it knew its session.
    if (isClosed()) core_.leave(session_);
    hub_.log(describe() + " entered from " + peer());
  }

  WorldCore& core_;
  PlayerGate gate_;
  PasswordEcho echo_;
  int32_t session_ = 0;  // 0 until the player has entered the world
  std::string name_;
  AvatarKind kind_ = AvatarKind::kGuest;
  WorldMetrics::Counted counted_;
};

void LinePort::accepted(tcp::socket socket) {
  auto connection = std::make_shared<PlayerConnection>(*this, std::move(socket));
  if (tls_) connection->speakTls(tls_, handshakeTimeout_);
  admit(connection, hub_.guards.players, "players",
        [](const ConnectionCaps::Admission& a) {
          // The line players have always read when the world is full.
          return a.cap == "total" ? std::string("* The world is full; please try again later.")
                                  : "* Sorry, " + a.refusal + ". Goodbye.";
        });
}

}  // namespace kelva::world
