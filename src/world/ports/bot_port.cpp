#include "world/ports/bot_port.h"

#include "net/bot_protocol.h"

namespace kelva::world {

namespace {

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

net::WorldEvent cellObjectEvent(net::EventKind kind, const ObjectEvent& ev) {
  net::WorldEvent e = objectEvent(kind, ev.object);
  e.set("CellX", ev.cell.x).set("CellZ", ev.cell.z).set("CellSequence", ev.sequence);
  return e;
}

}  // namespace

class BotConnection : public SocketConnection, public AvatarLink {
 public:
  BotConnection(BotPort& port, tcp::socket socket)
      : SocketConnection(port.hub_, std::move(socket), net::kMaxBotLine, port.hub_.limits.botOutputBeforeLogIn,
                         "\n"),
        core_(port.core_), counted_(port.hub_.metrics, "bot") {}

  std::string describe() const override {
    if (session_ != 0) return "bot " + name_ + " (citizen " + std::to_string(citizen_) + ")";
    return "bot connection from " + peer();
  }

  void sayGoodbye(const std::string& why) override { send(net::encodeNotice({why})); }

  // What the world tells the bot, as protocol events. The core has already
  // left out the events the bot turned off.
  // A player entering the world or leaving it (not walking in or out of view).
  void avatarArrived(const Avatar& who, Arrival how) override {
    if (how == Arrival::kEntered) tellPresence(net::EventKind::kAvatarArrival, who);
  }
  void avatarLeft(const Avatar& who, Departure how) override {
    if (how == Departure::kLeft) tellPresence(net::EventKind::kAvatarDeparture, who);
  }
  void tellPresence(net::EventKind kind, const Avatar& who) {
    if (who.isBot()) return;
    net::WorldEvent e;
    e.kind = kind;
    e.set("AvatarName", who.name).set("AvatarSession", who.session);
    send(net::encodeEvent(e));
  }
  void objectAdded(const ObjectEvent& ev) override {
    send(net::encodeEvent(cellObjectEvent(net::EventKind::kObjectAdd, ev)));
  }
  void objectRemoved(const ObjectEvent& ev) override {
    send(net::encodeEvent(cellObjectEvent(net::EventKind::kObjectDelete, ev)));
  }
  void chat(const Avatar& speaker, std::string_view text) override {
    net::WorldEvent e;
    e.kind = net::EventKind::kChat;
    e.set("AvatarName", speaker.name)
        .set("AvatarSession", speaker.session)
        .set("ChatSession", speaker.session)
        .set("ChatMessage", std::string(text));
    send(net::encodeEvent(e));
  }
  void objectClicked(const Avatar& clicker, const WorldObject& object) override {
    net::WorldEvent e = objectEvent(net::EventKind::kObjectClick, object);
    e.set("AvatarName", clicker.name).set("AvatarSession", clicker.session);
    send(net::encodeEvent(e));
  }
  void avatarClicked(const Avatar& clicker, const Avatar& clicked) override {
    net::WorldEvent e;
    e.kind = net::EventKind::kAvatarClick;
    e.set("AvatarName", clicker.name)
        .set("AvatarSession", clicker.session)
        .set("ClickedName", clicked.name)
        .set("ClickedSession", clicked.session);
    send(net::encodeEvent(e));
  }
  void dismiss(Dismissal why) override {
    if (why != Dismissal::kLoggedInElsewhere) {
      closeAfterFlush("the world let the bot go");
      return;
    }
    send(net::encodeNotice({"logged in again elsewhere"}));
    close("citizen " + std::to_string(citizen_) + " logged in again");
  }

 protected:
  void onLine(std::string_view line) override {
    Result<net::BotCall> call = net::parseBotLine(line);
    if (!call.isOk()) {
      refuse(call.status().message());
      return;
    }
    botCall(call.value());
  }
  void onOverlong() override {
    refuse("a line longer than " + std::to_string(net::kMaxBotLine) + " bytes was dropped");
  }
  void onClosed() override { leaveWorld(); }
  void onStart() override { watchDeadlines(Safeguards::botTimeouts(hub_.limits)); }
  void onDeadline(ConnectionTimeouts::Due due) override {
    if (due != ConnectionTimeouts::Due::kLogInTooLate) return;
    sayGoodbye("no StartBot within " + spokenDuration(std::chrono::seconds(hub_.limits.botLogInSeconds)));
    closeAfterFlush("no StartBot in time");
  }

 private:
  void refuse(const std::string& message) {
    hub_.log(describe() + ": " + message);
    send(net::encodeNotice({message}));
  }

  void leaveWorld() {
    if (session_ == 0) return;
    int32_t session = session_;
    session_ = 0;
    core_.leave(session);
  }

  // StartBot goes through the throttle first: refused unchecked while this
  // address or this citizen waits after too many wrong passwords (code 5),
  // or checked after a short wait when only the citizen is throttled and
  // this address never failed.
  void startBot(const net::BotCall& call) {
    if (session_ != 0) {
      logIn(call);  // refused with 4, as before
      return;
    }
    const std::string account = "citizen " + std::to_string(call.citizen);
    LoginThrottle::Decision d = hub_.guards.throttle.admit(source(), account, std::chrono::steady_clock::now());
    switch (d.verdict) {
      case LoginThrottle::Verdict::kCheckNow:
        logIn(call);
        return;
      case LoginThrottle::Verdict::kCheckLater:
        pauseFor(d.wait, [this, call] { logIn(call); });
        return;
      case LoginThrottle::Verdict::kRefused: {
        auto wait = std::chrono::ceil<std::chrono::seconds>(d.wait);
        send(net::encodeNotice({std::string("too many wrong passwords ") +
                                (d.because == LoginThrottle::Because::kAddress ? "from your address"
                                                                               : "for " + account) +
                                "; try again in " + spokenDuration(wait)}));
        hub_.guards.logOnce("throttled bot " + source(),
                            describe() + ": StartBot refused unchecked, too many wrong passwords");
        hub_.metrics.loginRefused("throttled");
        send(net::encodeReply({net::CallKind::kStartBot, call.id, kThrottled, 0}));
        return;
      }
    }
  }

  void logIn(const net::BotCall& call) {
    net::Reply reply{net::CallKind::kStartBot, call.id, 0, 0};
    const std::string account = "citizen " + std::to_string(call.citizen);
    const auto now = std::chrono::steady_clock::now();
    if (session_ != 0) {
      reply.value = 4;
    } else {
      WorldCore::BotLogin login =
          core_.startBot(std::static_pointer_cast<BotConnection>(shared_from_this()), call);
      reply.value = login.code;
      reply.session = login.session;
      if (login.code == 1) hub_.guards.throttle.failed(source(), account, now);
      if (login.code == 0) hub_.guards.throttle.succeeded(source(), account, now);
    }
    if (reply.value != 0) {
      hub_.metrics.loginRefused("bot");
      hub_.guards.logOnce("refused bot " + std::to_string(reply.value) + " " + source(),
                          describe() + ": login refused with code " + std::to_string(reply.value) + " (citizen " +
                              std::to_string(call.citizen) + ")");
      send(net::encodeReply(reply));
      return;
    }
    // A logged-in bot may fall behind by as much as a real bot's traffic.
    loggedIn();
    setOutputLimit(hub_.limits.botOutputLimit);
    setReadSize(64 * 1024);
    session_ = reply.session;
    citizen_ = call.citizen;
    name_ = call.botName;
    send(net::encodeReply(reply));
    hub_.log(describe() + " logged in as session " + std::to_string(session_));
    core_.botEntered(session_);
  }

  void query(const net::BotCall& call) {
    WorldCore::QueryAnswer answer = core_.query(session_, call.sectorX, call.sectorZ);
    for (const WorldCore::QueryCell& cell : answer.cells) {
      net::WorldEvent begin;
      begin.kind = net::EventKind::kCellBegin;
      begin.set("CellX", cell.cell.x).set("CellZ", cell.cell.z).set("CellSequence", cell.sequence);
      send(net::encodeEvent(begin));
      for (const WorldObject* o : cell.objects) send(net::encodeEvent(objectEvent(net::EventKind::kCellObject, *o)));
    }
    net::WorldEvent done;
    done.kind = net::EventKind::kQueryComplete;
    done.set("QueryComplete", answer.complete);
    send(net::encodeEvent(done));
  }

  void botCall(const net::BotCall& call) {
    using net::CallKind;
    switch (call.kind) {
      case CallKind::kInit:
      case CallKind::kWait:
        return;  // nothing to do: the bot is alive and pumping its events
      case CallKind::kSectorFromCell:
        send(net::encodeReply({CallKind::kSectorFromCell, call.id, sectorFromCell(call.value), 0}));
        return;
      case CallKind::kStartBot:
        startBot(call);
        return;
      case CallKind::kTerm:
        closeAfterFlush("the bot ended its session");
        return;
      default:
        break;
    }
    if (session_ == 0) {
      refuse(std::string(net::callName(call.kind)) + " before StartBot was refused");
      return;
    }
    switch (call.kind) {
      case CallKind::kQuery:
        query(call);
        return;
      case CallKind::kSay:
        core_.say(session_, call.text);
        return;
      case CallKind::kWhisper:
        core_.whisper(session_, call.value, call.text);
        return;
      case CallKind::kTeleport:
        core_.teleport(session_, call.value, call.teleportX, call.teleportY, call.teleportZ);
        return;
      case CallKind::kObjectChange: {
        std::string note;
        std::string problem = core_.objectChange(session_, call, note);
        if (!note.empty()) hub_.log(describe() + ": " + note);
        if (!problem.empty()) refuse(problem);
        return;
      }
      case CallKind::kEventOff:
      case CallKind::kEventOn:
        if (!core_.setEvent(session_, call.value, call.kind == CallKind::kEventOn))
          refuse(std::string(net::callName(call.kind)) + ": there is no event " + std::to_string(call.value));
        return;
      case CallKind::kDestroy:
        hub_.log(describe() + " left the world");
        leaveWorld();
        return;
      default:
        return;
    }
  }

  // StartBot's code for an attempt refused unchecked by the log-in throttle.
  static constexpr int32_t kThrottled = 5;

  WorldCore& core_;
  int32_t session_ = 0;  // 0 until StartBot succeeds, and again after Destroy
  int32_t citizen_ = 0;
  std::string name_;
  WorldMetrics::Counted counted_;
};

void BotPort::accepted(tcp::socket socket) {
  admit(std::make_shared<BotConnection>(*this, std::move(socket)), hub_.guards.bots, "bot connections",
        [](const ConnectionCaps::Admission& a) { return net::encodeNotice({"refused: " + a.refusal}); });
}

}  // namespace kelva::world
