#include "world/ports/web_port.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "world/guards/keep_alive.h"
#include "world/core/player_input.h"
#include "world/core/player_login.h"
#include "world/ports/player_texts.h"
#include "world/ports/id_set.h"
#include "world/ports/web_message.h"
#include "world/ports/web_origin.h"

namespace kelva::world {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;

namespace {

// The largest request the port reads: a page load's headers are far below it.
constexpr std::size_t kMaxRequest = 8 * 1024;
// A browser that sends no complete request for this long is let go.
constexpr auto kRequestTimeout = std::chrono::seconds(15);
constexpr std::string_view kServerName = "kelva-world";
// The room of a browser's outgoing frame kept for the next turn's frame.
constexpr std::size_t kFrameRoomKept = 16 * 1024;

// The address the caps and the password throttle count a connection under.
std::string sourceOf(const tcp::socket& socket) {
  ErrorCode ec;
  auto endpoint = socket.remote_endpoint(ec);
  return ec ? std::string("?") : sourceKey(endpoint.address().to_string());
}

}  // namespace

// One browser: first an HTTP connection serving files; after an upgrade at
// /ws, a web player, which is one avatar's link to the core.
class WebConnection : public AvatarLink, public std::enable_shared_from_this<WebConnection> {
 public:
  WebConnection(WebPort& port, tcp::socket socket)
      : port_(port), hub_(port.hub_), core_(port.core_), http_(std::move(socket)), deadlineTimer_(hub_.io),
        closeTimer_(hub_.io), goneFlush_(hub_.io), pauseTimer_(hub_.io),
        login_(hub_.guards.throttle, sourceOf(http_.socket())),
        flood_(hub_.limits.playerLinesPerSecond, hub_.limits.playerLineBurst) {
    ErrorCode ec;
    auto endpoint = http_.socket().remote_endpoint(ec);
    peer_ = ec ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
    source_ = sourceOf(http_.socket());
    http_.socket().set_option(tcp::no_delay(true), ec);
    if (std::string problem = applyKeepAlive(http_.socket().native_handle(), hub_.limits.keepAlive); !problem.empty())
      hub_.guards.logOnce("keep-alive", "keep-alive for " + peer_ + ": " + problem);
  }

  const std::string& source() const { return source_; }
  const std::string& peer() const { return peer_; }
  void holdPlace(CapTicket ticket) { ticket_ = std::move(ticket); }

  void start() { readRequest(); }

  // A connection the world cannot take: told why in a plain answer, and let
  // go without reading anything from it.
  void turnAway(const std::string& why) {
    auto answer = std::make_shared<std::string>(
        "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
        std::to_string(why.size() + 1) + "\r\nConnection: close\r\n\r\n" + why + "\n");
    http_.expires_after(std::chrono::seconds(5));
    boost::asio::async_write(http_, boost::asio::buffer(*answer),
                             [self = shared_from_this(), answer](ErrorCode, std::size_t) { self->close("turned away"); });
  }

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
    if (!writing_) {
      if (outgoing_.empty())
        finishClosing();
      else
        writeMore();
    }
    closeTimer_.expires_after(std::chrono::seconds(2));
    closeTimer_.async_wait([self = shared_from_this()](ErrorCode ec) {
      if (!ec) self->close(self->closeReason_ + " (output not taken)");
    });
  }

  void closeIfPeerGone() {
    if (!closed_ && peerLongSilent(socket().native_handle(), hub_.limits.keepAlive))
      close("no sign of life from the other end");
  }

  void close(const std::string& reason) {
    if (closed_) return;
    closed_ = true;
    deadlineTimer_.cancel();
    closeTimer_.cancel();
    goneFlush_.cancel();
    pauseTimer_.cancel();
    ErrorCode ignored;
    socket().shutdown(tcp::socket::shutdown_both, ignored);
    socket().close(ignored);
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
    if (!moved) send(web::worldText(arrivalText(who, how)));
  }

  void avatarLeft(const Avatar& who, Departure how) override {
    if (how == Departure::kLeft) {
      pendingGone_.erase(who.session);
      seenAvatars_.erase(who.session);
      send(web::avatarGone(who.session));
      send(web::worldText(departureText(who, how)));
      return;
    }
    // Held back until the core's call is over: if the same avatar comes
    // near again in it, it only moved.
    pendingGone_[who.session] = {who, how};
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

  // The page draws its avatar where the world puts it: a walk is answered
  // by the avatar's new place (and what is near there), not by a line.
  void walked(std::string_view) override { followOwnPosition(); }

  void dismiss(Dismissal why) override {
    if (why == Dismissal::kLoggedInElsewhere) {
      send(web::worldText("You logged in from elsewhere; this connection is closed. Goodbye."));
      closeAfterFlush(name_ + " logged in again from elsewhere");
      return;
    }
    closeAfterFlush("the player left");
  }

  // The world is closing.
  void sayGoodbye(const std::string& why) {
    send(web::worldText("Goodbye: " + why + "."));
    closeAfterFlush(why);
  }

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
      if (!webOriginAllowed(request_[http::field::origin], request_[http::field::host], port_.origins_)) {
        hub_.guards.logOnce("refused web origin " + source(),
                            "web connection from " + peer() + " refused: a page from " +
                                std::string(request_[http::field::origin]) + " may not play here");
        respondAndClose(http::status::forbidden, "Pages from other sites may not play in this world.\n");
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
    auto headers = [&](auto& response) {
      response.set(http::field::server, kServerName);
      response.set(http::field::content_type, webContentType(*file));
      response.set(http::field::cache_control, "no-cache");
      response.set("X-Content-Type-Options", "nosniff");
      response.keep_alive(request_.keep_alive());
    };
    if (request_.method() == http::verb::head) {
      // The file's headers and length, and no body: a file body that is
      // never read would be a closed file to the writer.
      auto response = std::make_shared<http::response<http::empty_body>>(http::status::ok, request_.version());
      headers(*response);
      response->content_length(body.size());
      writeResponse(response, !request_.keep_alive());
      return;
    }
    auto response = std::make_shared<http::response<http::file_body>>(http::status::ok, request_.version());
    headers(*response);
    response->body() = std::move(body);
    response->prepare_payload();
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
      self->timeouts_.emplace(Safeguards::playerTimeouts(self->hub_.limits), std::chrono::steady_clock::now());
      self->armDeadline();
      self->readMessage();
    });
  }

  // The log-in deadline, or once in the world the idle time (see
  // armDeadlineTimer); a message meanwhile only moves it.
  void armDeadline() {
    if (closed_ || !timeouts_) return;
    armDeadlineTimer(deadlineTimer_, *timeouts_, [self = shared_from_this()] {
      if (self->closed_ || self->closing_) return;
      self->onDeadline(self->timeouts_->check(std::chrono::steady_clock::now()));
      self->armDeadline();
    });
  }

  void onDeadline(ConnectionTimeouts::Due due) {
    using Due = ConnectionTimeouts::Due;
    if (due == Due::kNothing) return;
    const auto idle = std::chrono::duration_cast<std::chrono::seconds>(hub_.limits.idleTimeout);
    const std::string text = deadlineText(due, idle);
    send(session_ == 0 ? web::refused(text) : web::worldText(text));
    if (due == Due::kLogInTooLate) closeAfterFlush("no name given in time");
    if (due == Due::kIdleTooLong) closeAfterFlush("idle for " + spokenDuration(idle));
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
      // While a password waits for its check, nothing more is read.
      if (!self->closed_ && !self->closing_ && !self->paused_) self->readMessage();
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
    if (writing_ || writePosted_) return;
    // What this turn of the world sends the browser leaves together, after
    // the turn: one frame and one write, however many messages.
    writePosted_ = true;
    boost::asio::post(hub_.io, [self = shared_from_this()] {
      self->writePosted_ = false;
      if (!self->closed_ && !self->writing_ && !self->outgoing_.empty()) self->writeMore();
    });
  }

  // Writes every queued message in one frame, one message per line (JSON
  // text never holds a raw line break).
  void writeMore() {
    writing_ = true;
    frame_.clear();
    frameCounted_ = 0;
    for (const std::string& m : outgoing_) {
      if (!frame_.empty()) frame_ += '\n';
      frame_ += m;
      frameCounted_ += m.size();
    }
    outgoing_.clear();
    ws_->text(true);
    ws_->async_write(boost::asio::buffer(frame_), [self = shared_from_this()](ErrorCode ec, std::size_t) {
      self->writing_ = false;
      if (self->closed_) return;
      if (ec) {
        self->close("write failed: " + ec.message());
        return;
      }
      self->unsent_ -= self->frameCounted_;
      // A crowd's arrival makes one large frame; its room is not kept for
      // every browser for the rest of the evening.
      if (self->frame_.capacity() > kFrameRoomKept) std::string().swap(self->frame_);
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
    if (timeouts_ && session_ != 0) {
      timeouts_->activity(std::chrono::steady_clock::now());
      armDeadline();
    }
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
        send(web::password(o.name, loginText(o)));
        return;
      }
      o = login_.offer(core_, *r.password);
    }
    answer(o);
  }

  void answer(const PlayerLogin::Outcome& o) {
    using Step = PlayerLogin::Step;
    if (o.step == Step::kWrongPassword || o.step == Step::kTooManyWrong)
      hub_.guards.logOnce("wrong password " + o.name + " " + source_,
                          "wrong password for " + o.name + " from " + peer_ + " (web)");
    const std::string text = loginText(o);
    switch (o.step) {
      case Step::kGuest:
        send(web::worldText(text));
        enter(o.name, AvatarKind::kGuest);
        return;
      case Step::kRegistered:
        if (o.takesOver) core_.takeOver(o.name);
        enter(o.name, AvatarKind::kRegistered);
        return;
      case Step::kCheckLater:
        // Reading stops until the check; the answer then goes on reading.
        send(web::worldText(text));
        paused_ = true;
        pauseTimer_.expires_after(o.wait);
        pauseTimer_.async_wait([self = shared_from_this()](const ErrorCode& ec) {
          if (ec || self->closed_ || self->closing_) return;
          self->paused_ = false;
          self->answer(self->login_.checkHeld(self->core_));
          if (!self->closed_ && !self->closing_) self->readMessage();
        });
        return;
      case Step::kTooManyWrong:
        send(web::refused(text));
        closeAfterFlush("three wrong passwords");
        return;
      default:
        send(web::refused(text));
        return;
    }
  }

  void enter(const std::string& shownName, AvatarKind kind) {
    ticket_.loggedIn();
    if (timeouts_) {
      timeouts_->loggedIn(std::chrono::steady_clock::now());
      armDeadline();
    }
    name_ = shownName;
    session_ = core_.enter(shared_from_this(), shownName, kind);
    hub_.log(describe() + " entered from " + peer_);
    // A browser that could not take even its welcome was closed while it
    // entered, before it knew its session.
    if (closed_) {
      core_.leave(session_);
      return;
    }
    if (const Avatar* me = core_.avatar(session_)) send(web::entered(shownName, session_, me->x, me->y, me->z));
    followOwnPosition();
  }

  // --- what the page is shown ---------------------------------------------------

  bool seesObject(const WorldObject& o) const {
    return session_ != 0 && core_.near(x_, z_, o.x, o.z);
  }

  void showObject(const WorldObject& o) {
    seenObjects_.insert(o.number);
    send(web::object(o.number, o.model, o.description, o.x, o.y, o.z, o.yaw, o.label));
  }

  void sendAvatar(const Avatar& a) {
    seenAvatars_.insert(a.session);
    send(web::avatar(a.session, a.name, a.isBot(), a.x, a.y, a.z));
  }

  void flushGone() {
    for (const auto& [session, gone] : pendingGone_) {
      seenAvatars_.erase(session);
      send(web::avatarGone(session));
      send(web::worldText(departureText(gone.who, gone.how)));
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

    std::vector<int32_t> avatarsNow{session_};
    core_.forEachAvatarSeenFrom(x_, z_, session_, [&](const Avatar& a) {
      avatarsNow.push_back(a.session);
      if (!seenAvatars_.contains(a.session)) sendAvatar(a);
    });
    std::sort(avatarsNow.begin(), avatarsNow.end());
    seenAvatars_.eraseIf([&](int32_t s) {
      if (std::binary_search(avatarsNow.begin(), avatarsNow.end(), s)) return false;
      send(web::avatarGone(s));
      return true;
    });

    std::vector<int32_t> objectsNow;  // in order: the objects' map is sorted
    for (const auto& [number, o] : core_.world().objects()) {
      if (!isVisible(o) || !seesObject(o)) continue;
      objectsNow.push_back(number);
      if (!seenObjects_.contains(number)) showObject(o);
    }
    seenObjects_.eraseIf([&](int32_t n) {
      if (std::binary_search(objectsNow.begin(), objectsNow.end(), n)) return false;
      send(web::objectGone(n));
      return true;
    });
  }

  struct Gone {
    Avatar who;
    Departure how;
  };

  WebPort& port_;
  ConnectionHub& hub_;
  WorldCore& core_;
  tcp::socket& socket() { return ws_ ? beast::get_lowest_layer(*ws_).socket() : http_.socket(); }

  beast::tcp_stream http_;
  std::optional<websocket::stream<beast::tcp_stream>> ws_;
  beast::flat_buffer buffer_;
  beast::flat_buffer incoming_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::request<http::string_body> request_;
  boost::asio::steady_timer deadlineTimer_;
  boost::asio::steady_timer closeTimer_;
  boost::asio::steady_timer goneFlush_;
  boost::asio::steady_timer pauseTimer_;
  std::optional<ConnectionTimeouts> timeouts_;
  CapTicket ticket_;
  bool paused_ = false;
  std::string source_;
  std::deque<std::string> outgoing_;
  std::string frame_;  // being written
  std::size_t frameCounted_ = 0;  // its messages' bytes, as counted in unsent_
  std::size_t unsent_ = 0;
  bool writing_ = false;
  bool writePosted_ = false;
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
  IdSet seenAvatars_;
  IdSet seenObjects_;
  std::map<int32_t, Gone> pendingGone_;
};

WebPort::WebPort(ConnectionHub& hub, WorldCore& core, WebRoots roots, std::vector<std::string> origins)
    : Listener(hub, "web"), core_(core), roots_(std::move(roots)), origins_(std::move(origins)) {}

WebPort::~WebPort() = default;

void WebPort::close() {
  closeListener();
  for (const auto& c : std::set(connections_)) c->sayGoodbye("the world is closing");
}

void WebPort::closeSilentPeers() {
  for (const auto& c : std::vector(connections_.begin(), connections_.end())) c->closeIfPeerGone();
}

void WebPort::accepted(tcp::socket socket) {
  auto c = std::make_shared<WebConnection>(*this, std::move(socket));
  ConnectionCaps::Admission a = hub_.guards.players.admit(c->source(), "players");
  if (!a.ticket) {
    hub_.guards.logOnce("refused web " + a.cap + " " + c->source(),
                        "web connection from " + c->peer() + " refused: " + a.refusal);
    c->turnAway("Sorry, " + a.refusal + ".");
    return;
  }
  a.ticket->onEvicted([weak = std::weak_ptr<WebConnection>(c)] {
    if (auto connection = weak.lock()) connection->close("let go to make room for a newer connection");
  });
  c->holdPlace(std::move(*a.ticket));
  connections_.insert(c);
  c->start();
}

std::string defaultWebAssets() {
  if (const char* env = std::getenv("KELVA_WEB_ROOT"); env && *env) return env;
  return KELVA_WEB_DIR;
}

}  // namespace kelva::world
