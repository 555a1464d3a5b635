#include "world/web_port.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>

#include "world/player_input.h"
#include "world/player_login.h"
#include "world/web_message.h"

namespace kelva::world {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;

namespace {

// The largest request the port reads: a page load's headers are far below it.
constexpr std::size_t kMaxRequest = 8 * 1024;
// A browser that sends no complete request for this long is let go.
constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr std::string_view kServerName = "kelva-world";

}  // namespace

// One browser: first an HTTP connection serving files; after an upgrade at
// /ws, a web player, which is one avatar's link to the core.
class WebConnection : public AvatarLink, public std::enable_shared_from_this<WebConnection> {
 public:
  WebConnection(WebPort& port, tcp::socket socket)
      : port_(port), hub_(port.hub_), core_(port.core_), http_(std::move(socket)), nameTimer_(hub_.io),
        closeTimer_(hub_.io), goneFlush_(hub_.io),
        flood_(hub_.limits.playerLinesPerSecond, hub_.limits.playerLineBurst) {
    ErrorCode ec;
    auto endpoint = http_.socket().remote_endpoint(ec);
    peer_ = ec ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
    http_.socket().set_option(tcp::no_delay(true), ec);
  }

  void start() { readRequest(); }

  std::string describe() const {
    if (session_ != 0) return "web player " + name_ + " (session " + std::to_string(session_) + ")";
    return "web connection from " + peer_;
  }

  // Says goodbye, sends what is queued and closes; a browser that does not
  // take it within two seconds is closed anyway.
  void closeAfterFlush(const std::string& reason) {
    if (closed_ || closing_) return;
    if (!ws_) {
      close(reason);
      return;
    }
    closing_ = true;
    closeReason_ = reason;
    if (!writing_) finishClosing();
    closeTimer_.expires_after(std::chrono::seconds(2));
    closeTimer_.async_wait([self = shared_from_this()](ErrorCode ec) {
      if (!ec) self->close(self->closeReason_ + " (output not taken)");
    });
  }

  void close(const std::string& reason) {
    if (closed_) return;
    closed_ = true;
    nameTimer_.cancel();
    closeTimer_.cancel();
    goneFlush_.cancel();
    ErrorCode ignored;
    tcp::socket& socket = ws_ ? beast::get_lowest_layer(*ws_).socket() : http_.socket();
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
    if (ws_) hub_.log(describe() + " disconnected: " + reason);
    if (session_ != 0) core_.leave(session_);
    port_.connections_.erase(shared_from_this());
  }

  // --- what the core tells this player --------------------------------------

  void avatarArrived(const Avatar& who, Arrival how) override {
    // A move within sight is told as leaving and coming near again: the
    // page hears it as one move, so the figure walks instead of blinking.
    bool moved = pendingGone_.erase(who.session) > 0;
    sendAvatar(who);
    if (moved) return;
    switch (how) {
      case Arrival::kEntered:
        send(web::worldText(who.name + (who.isBot() ? " enters the world." : " arrives.")));
        break;
      case Arrival::kCameNear:
        send(web::worldText(who.name + " comes near."));
        break;
      case Arrival::kAppeared:
        send(web::worldText(who.name + " appears."));
        break;
    }
  }

  void avatarLeft(const Avatar& who, Departure how) override {
    if (how == Departure::kLeft) {
      pendingGone_.erase(who.session);
      seenAvatars_.erase(who.session);
      send(web::avatarGone(who.session));
      send(web::worldText(who.name + (who.isBot() ? " leaves the world." : " leaves.")));
      return;
    }
    // Held back until the core's call is over: if the same avatar comes
    // near again in it, it only moved.
    pendingGone_[who.session] = {who.name, how};
    goneFlush_.expires_after(std::chrono::seconds(0));
    goneFlush_.async_wait([self = shared_from_this()](ErrorCode ec) {
      if (!ec) self->flushGone();
    });
  }

  void objectAdded(const ObjectEvent& event) override {
    const WorldObject& o = event.object;
    if (isVisible(o) && seesObject(o)) showObject(o);
  }

  void objectRemoved(const ObjectEvent& event) override {
    if (seenObjects_.erase(event.object.number)) send(web::objectGone(event.object.number));
  }

  void chat(const Avatar& speaker, std::string_view text) override {
    send(web::chat(speaker.session, speaker.name, text));
  }

  void whisper(const Avatar& from, std::string_view text) override { send(web::whisper(from.name, text)); }

  void tell(const Avatar& from, std::string_view text) override { send(web::tell(from.name, text)); }

  void echo(std::string_view text, const Avatar* to) override {
    send(web::echo(text, to ? std::string_view(to->name) : std::string_view()));
  }

  void worldMessage(std::string_view text) override {
    send(web::worldText(text));
    // The world tells a player it moved them ("You are at ...", "You are
    // moved to ..."): the page hears where, and what is near there now.
    followOwnPosition();
  }

  void dismiss(Dismissal) override { closeAfterFlush("the player left"); }

 private:
  // --- HTTP ------------------------------------------------------------------

  void readRequest() {
    parser_.emplace();
    parser_->header_limit(kMaxRequest);
    parser_->body_limit(kMaxRequest);
    http_.expires_after(kRequestTimeout);
    http::async_read(http_, buffer_, *parser_, [self = shared_from_this()](ErrorCode ec, std::size_t) {
      self->onRequest(ec);
    });
  }

  void onRequest(ErrorCode ec) {
    if (closed_) return;
    if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == boost::asio::error::eof) {
      close("the browser closed the connection");
      return;
    }
    if (ec == http::error::header_limit || ec == http::error::body_limit || ec == http::error::buffer_overflow) {
      respondAndClose(http::status::payload_too_large, "The request is too large.\n");
      return;
    }
    if (ec) {
      respondAndClose(http::status::bad_request, "The request could not be read.\n");
      return;
    }
    request_ = parser_->release();
    std::string_view target = request_.target();
    std::string_view path = target.substr(0, target.find('?'));
    if (websocket::is_upgrade(request_)) {
      if (path != "/ws") {
        respondAndClose(http::status::not_found, "There is no game here: the game is at /ws.\n");
        return;
      }
      upgrade();
      return;
    }
    if (request_.method() != http::verb::get && request_.method() != http::verb::head) {
      respond(http::status::method_not_allowed, "Only GET and HEAD are served here.\n", true);
      return;
    }
    std::optional<std::string> file = webFileFor(target, port_.roots_);
    if (!file) {
      respond(http::status::not_found, "Not found.\n", false);
      return;
    }
    http::file_body::value_type body;
    ErrorCode openError;
    body.open(file->c_str(), beast::file_mode::scan, openError);
    if (openError) {
      respond(http::status::not_found, "Not found.\n", false);
      return;
    }
    auto response = std::make_shared<http::response<http::file_body>>(http::status::ok, request_.version());
    response->set(http::field::server, kServerName);
    response->set(http::field::content_type, webContentType(*file));
    response->set(http::field::cache_control, "no-cache");
    response->set("X-Content-Type-Options", "nosniff");
    response->keep_alive(request_.keep_alive());
    if (request_.method() == http::verb::head) {
      response->content_length(body.size());
    } else {
      response->body() = std::move(body);
      response->prepare_payload();
    }
    writeResponse(response, !request_.keep_alive());
  }

  // A short text answer; `closeAfter` for answers after which the rest of
  // the connection's bytes cannot be trusted.
  void respond(http::status status, std::string_view text, bool closeAfter) {
    auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
    response->set(http::field::server, kServerName);
    response->set(http::field::content_type, "text/plain; charset=utf-8");
    if (status == http::status::method_not_allowed) response->set(http::field::allow, "GET, HEAD");
    response->body() = std::string(text);
    response->keep_alive(!closeAfter && request_.keep_alive());
    response->prepare_payload();
    writeResponse(response, closeAfter || !request_.keep_alive());
  }

  void respondAndClose(http::status status, std::string_view text) {
    request_ = {};
    request_.version(11);
    respond(status, text, true);
  }

  template <typename Response>
  void writeResponse(const std::shared_ptr<Response>& response, bool closeAfter) {
    http::async_write(http_, *response, [self = shared_from_this(), response, closeAfter](ErrorCode ec, std::size_t) {
      if (self->closed_) return;
      if (ec || closeAfter) {
        self->close(ec ? "write failed: " + ec.message() : "request answered");
        return;
      }
      self->readRequest();
    });
  }

  // --- WebSocket -------------------------------------------------------------

  void upgrade() {
    http_.expires_never();
    ws_.emplace(std::move(http_));
    ws_->set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_->set_option(websocket::stream_base::decorator(
        [](websocket::response_type& r) { r.set(http::field::server, kServerName); }));
    ws_->read_message_max(kMaxWebMessage);
    ws_->async_accept(request_, [self = shared_from_this()](ErrorCode ec) {
      if (self->closed_) return;
      if (ec) {
        self->close("the WebSocket handshake failed: " + ec.message());
        return;
      }
      self->hub_.log("web player connection from " + self->peer_);
      self->send(web::welcome(self->core_.definition().name));
      self->startNameTimer();
      self->readMessage();
    });
  }

  void startNameTimer() {
    nameTimer_.expires_after(std::chrono::seconds(hub_.limits.nameTimeoutSeconds));
    nameTimer_.async_wait([self = shared_from_this()](ErrorCode ec) {
      if (!ec && self->session_ == 0 && !self->closed_) {
        self->send(web::refused("No name was given in time. Goodbye."));
        self->closeAfterFlush("no name given in time");
      }
    });
  }

  void readMessage() {
    ws_->async_read(incoming_, [self = shared_from_this()](ErrorCode ec, std::size_t) {
      if (self->closed_) return;
      if (ec) {
        if (ec == websocket::error::message_too_big) {
          self->close("a message longer than " + std::to_string(kMaxWebMessage) + " bytes");
        } else {
          self->close(ec == websocket::error::closed ? "the browser closed the connection" : ec.message());
        }
        return;
      }
      if (self->closing_) return;
      if (!self->ws_->got_text()) {
        self->refuse("binary frames are not taken: send JSON in text frames");
      } else {
        std::string message = beast::buffers_to_string(self->incoming_.data());
        self->handle(message);
      }
      self->incoming_.consume(self->incoming_.size());
      if (!self->closed_ && !self->closing_) self->readMessage();
    });
  }

  void send(std::string message) {
    if (closed_ || closing_ || !ws_) return;
    if (!outputFits(unsent_, message.size(), hub_.limits.playerOutputLimit)) {
      close(notReadingReason(hub_.limits.playerOutputLimit));
      return;
    }
    unsent_ += message.size();
    outgoing_.push_back(std::move(message));
    if (!writing_) writeMore();
  }

  void writeMore() {
    writing_ = true;
    ws_->text(true);
    ws_->async_write(boost::asio::buffer(outgoing_.front()), [self = shared_from_this()](ErrorCode ec, std::size_t) {
      self->writing_ = false;
      if (self->closed_) return;
      if (ec) {
        self->close("write failed: " + ec.message());
        return;
      }
      self->unsent_ -= self->outgoing_.front().size();
      self->outgoing_.pop_front();
      if (!self->outgoing_.empty()) {
        self->writeMore();
      } else if (self->closing_) {
        self->finishClosing();
      }
    });
  }

  void finishClosing() {
    ws_->async_close(websocket::close_code::normal, [self = shared_from_this()](ErrorCode) {
      self->close(self->closeReason_);
    });
  }

  void refuse(const std::string& why) {
    hub_.log(describe() + ": message refused: " + why);
    send(web::error(why));
  }

  // --- the game ----------------------------------------------------------------

  void handle(std::string_view message) {
    Result<WebRequest> parsed = parseWebMessage(message);
    if (!parsed.isOk()) {
      refuse(parsed.status().message());
      return;
    }
    const WebRequest& r = parsed.value();
    if (session_ == 0) {
      if (r.kind != WebRequest::Kind::kLogin) {
        refuse("log in first: send {\"type\":\"login\",\"name\":...}");
        return;
      }
      login(r);
      return;
    }
    if (r.kind == WebRequest::Kind::kLogin) {
      refuse("you are in the world already");
      return;
    }
    // Every message after the log-in counts as a line typed: the same
    // allowance as on the line port.
    FloodBucket::Take take = flood_.take();
    if (!take.allowed) {
      if (take.warn) {
        hub_.log(describe() + " types too fast; " + std::to_string(take.dropped) + " line(s) dropped so far");
        send(web::error("You are typing too fast; that line was dropped."));
      }
      return;
    }
    PlayerAction action;
    switch (r.kind) {
      case WebRequest::Kind::kChat:
        if (!lineFits(r.text)) return;
        action = parsePlayerLine(r.text);
        break;
      case WebRequest::Kind::kTell:
        if (!lineFits(r.text)) return;
        // The core finds the avatar as .tell does: the name, a blank, the words.
        action.kind = PlayerActionKind::kTell;
        action.text = r.name + " " + r.text;
        break;
      case WebRequest::Kind::kClick:
        action.kind = PlayerActionKind::kClick;
        action.number = r.number;
        break;
      case WebRequest::Kind::kAttack:
        action.kind = PlayerActionKind::kAttack;
        action.text = r.name;
        break;
      case WebRequest::Kind::kMove:
        action.kind = PlayerActionKind::kMove;
        action.x = r.x;
        action.z = r.z;
        break;
      case WebRequest::Kind::kQuit:
        action.kind = PlayerActionKind::kQuit;
        break;
      case WebRequest::Kind::kLogin:
        return;
    }
    core_.playerAction(session_, action);
    // The page shows the player's own public chat too, as the world took
    // it; commands and tells come back through echo().
    if (action.kind == PlayerActionKind::kChat && !action.text.starts_with('/') && !closed_)
      send(web::chat(session_, name_, action.text));
  }

  // The same checks as a typed line on the line port.
  bool lineFits(std::string_view text) {
    if (text.size() > hub_.limits.maxPlayerLine) {
      hub_.log(describe() + ": a line longer than " + std::to_string(hub_.limits.maxPlayerLine) +
               " bytes was dropped");
      send(web::error("That line was too long (more than " + std::to_string(hub_.limits.maxPlayerLine) +
                      " bytes) and was dropped."));
      return false;
    }
    if (std::string problem = textProblem(text); !problem.empty()) {
      hub_.log(describe() + ": line refused: " + problem);
      send(web::error("That line was not sent: " + problem + "."));
      return false;
    }
    return true;
  }

  void login(const WebRequest& r) {
    // A name and its password come in one message; the login reads them as
    // the line port reads two lines.
    PlayerLogin::Outcome o = login_.offer(core_, r.name);
    if (o.step == PlayerLogin::Step::kPasswordAsked) {
      if (!r.password) {
        login_.forgetName();
        send(web::password(o.name, o.name + " is a registered name. Password?"));
        return;
      }
      o = login_.offer(core_, *r.password);
    }
    switch (o.step) {
      case PlayerLogin::Step::kNameRefused:
        send(web::refused("That name cannot be used: " + o.problem + ". What is your name?"));
        return;
      case PlayerLogin::Step::kPasswordAsked:
        return;
      case PlayerLogin::Step::kNameInUse:
        send(web::refused(o.name + " is already in the world. What is your name?"));
        return;
      case PlayerLogin::Step::kWrongPassword:
        hub_.log("wrong password for " + o.name + " from " + peer_ + " (web)");
        send(web::refused("Wrong password. What is your name?"));
        return;
      case PlayerLogin::Step::kTooManyWrong:
        hub_.log("wrong password for " + o.name + " from " + peer_ + " (web)");
        send(web::refused("Wrong password. Goodbye."));
        closeAfterFlush("three wrong passwords");
        return;
      case PlayerLogin::Step::kGuest:
        send(web::worldText(o.typed + " is not registered: you are the guest " + o.name + "."));
        enter(o.name, AvatarKind::kGuest);
        return;
      case PlayerLogin::Step::kRegistered:
        enter(o.name, AvatarKind::kRegistered);
        return;
    }
  }

  void enter(const std::string& shownName, AvatarKind kind) {
    nameTimer_.cancel();
    name_ = shownName;
    session_ = core_.enter(shared_from_this(), shownName, kind);
    hub_.log(describe() + " entered from " + peer_);
    if (const Avatar* me = core_.avatar(session_)) send(web::entered(shownName, session_, me->x, me->y, me->z));
    followOwnPosition();
  }

  // --- what the page is shown ---------------------------------------------------

  bool seesObject(const WorldObject& o) const {
    return session_ != 0 && core_.near(x_, z_, o.x, o.z);
  }

  void showObject(const WorldObject& o) {
    seenObjects_.insert(o.number);
    send(web::object(o.number, o.model, o.description, o.x, o.y, o.z, o.yaw));
  }

  void sendAvatar(const Avatar& a) {
    seenAvatars_.insert(a.session);
    send(web::avatar(a.session, a.name, a.isBot(), a.x, a.y, a.z));
  }

  void flushGone() {
    for (const auto& [session, gone] : pendingGone_) {
      seenAvatars_.erase(session);
      send(web::avatarGone(session));
      send(web::worldText(gone.name + (gone.how == Departure::kVanished ? " vanishes." : " walks away.")));
    }
    pendingGone_.clear();
  }

  // After the player entered or was moved: its own figure, and the avatars
  // and objects near its new place (those out of range go).
  void followOwnPosition() {
    if (session_ == 0 || closed_) return;
    const Avatar* me = core_.avatar(session_);
    if (!me) return;
    if (shownSelf_ && me->x == x_ && me->y == y_ && me->z == z_) return;
    shownSelf_ = true;
    x_ = me->x;
    y_ = me->y;
    z_ = me->z;
    sendAvatar(*me);

    std::set<int32_t> avatarsNow{session_};
    core_.forEachAvatarSeenFrom(x_, z_, session_, [&](const Avatar& a) {
      avatarsNow.insert(a.session);
      if (!seenAvatars_.count(a.session)) sendAvatar(a);
    });
    for (int32_t s : std::set<int32_t>(seenAvatars_))
      if (!avatarsNow.count(s)) {
        seenAvatars_.erase(s);
        send(web::avatarGone(s));
      }

    std::set<int32_t> objectsNow;
    for (const auto& [number, o] : core_.world().objects()) {
      if (!isVisible(o) || !seesObject(o)) continue;
      objectsNow.insert(number);
      if (!seenObjects_.count(number)) showObject(o);
    }
    for (int32_t n : std::set<int32_t>(seenObjects_))
      if (!objectsNow.count(n)) {
        seenObjects_.erase(n);
        send(web::objectGone(n));
      }
  }

  struct Gone {
    std::string name;
    Departure how;
  };

  WebPort& port_;
  ConnectionHub& hub_;
  WorldCore& core_;
  beast::tcp_stream http_;
  std::optional<websocket::stream<beast::tcp_stream>> ws_;
  beast::flat_buffer buffer_;
  beast::flat_buffer incoming_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::request<http::string_body> request_;
  boost::asio::steady_timer nameTimer_;
  boost::asio::steady_timer closeTimer_;
  boost::asio::steady_timer goneFlush_;
  std::deque<std::string> outgoing_;
  std::size_t unsent_ = 0;
  bool writing_ = false;
  bool closing_ = false;
  bool closed_ = false;
  std::string closeReason_;
  std::string peer_;

  PlayerLogin login_;
  FloodBucket flood_;
  int32_t session_ = 0;
  std::string name_;
  bool shownSelf_ = false;
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t z_ = 0;
  std::set<int32_t> seenAvatars_;
  std::set<int32_t> seenObjects_;
  std::map<int32_t, Gone> pendingGone_;
};

WebPort::WebPort(ConnectionHub& hub, WorldCore& core, WebRoots roots, std::size_t maxConnections)
    : hub_(hub), core_(core), roots_(std::move(roots)), maxConnections_(maxConnections), acceptor_(hub.io) {}

WebPort::~WebPort() = default;

Status WebPort::open(const std::string& address, uint16_t port) {
  Status s = openListener(acceptor_, address, port, "web");
  if (s.isOk()) acceptMore();
  return s;
}

uint16_t WebPort::port() const { return acceptor_.local_endpoint().port(); }

void WebPort::close() {
  ErrorCode ignored;
  acceptor_.close(ignored);
  for (const auto& c : std::set(connections_)) c->close("the world is shutting down");
}

void WebPort::acceptMore() {
  acceptor_.async_accept([this](ErrorCode ec, tcp::socket socket) {
    if (hub_.stopped) return;
    if (ec) {
      hub_.log("accepting a web connection failed: " + ec.message());
    } else if (connections_.size() >= maxConnections_) {
      // Too many browsers at once: a plain refusal, without reading.
      ErrorCode ignored;
      static constexpr std::string_view kBusy =
          "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 20\r\nConnection: close\r\n\r\nThe world is full.\r\n";
      boost::asio::write(socket, boost::asio::buffer(kBusy), ignored);
      socket.close(ignored);
    } else {
      auto c = std::make_shared<WebConnection>(*this, std::move(socket));
      connections_.insert(c);
      c->start();
    }
    acceptMore();
  });
}

std::string defaultWebAssets() {
  if (const char* env = std::getenv("KELVA_WEB_ROOT"); env && *env) return env;
  return KELVA_WEB_DIR;
}

}  // namespace kelva::world
