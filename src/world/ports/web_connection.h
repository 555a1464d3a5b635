// One browser on the web port: first an HTTP connection serving the page's
// files; after an upgrade at /ws, a web player, which is one avatar's link to
// the core. Its work is in four files: the HTTP answers (web_http.cpp), the
// WebSocket and its output (web_socket.cpp), the messages a player sends to
// the core and the core's words back (web_player.cpp), and the page's view
// of who and what is near (web_view.cpp). Its first bytes say whether it
// speaks TLS (web_tls_start.cpp); the stream under it is a WebStream.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "world/core/player_input.h"
#include "world/core/player_login.h"
#include "world/core/world_core.h"
#include "world/guards/connection_caps.h"
#include "world/guards/connection_timeouts.h"
#include "world/ports/connection_hub.h"
#include "world/ports/id_set.h"
#include "world/ports/player_gate.h"
#include "world/ports/web_message.h"
#include "world/ports/web_stream.h"

namespace kelva::world {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;

class WebPort;

// How the web port names itself in its answers.
inline constexpr std::string_view kWebServerName = "kelva-world";
// The largest request the port reads: a page load's headers are far below it.
inline constexpr std::size_t kMaxWebRequest = 8 * 1024;
// A browser that sends no complete request (nor its first bytes) for this
// long is let go.
inline constexpr auto kWebRequestTimeout = std::chrono::seconds(15);

class WebConnection : public AvatarLink,
                      public PlayerGate::Voice,
                      public std::enable_shared_from_this<WebConnection> {
 public:
  WebConnection(WebPort& port, tcp::socket socket);
  // The address the caps and the password throttle count it under.
  const std::string& source() const { return source_; }
  const std::string& peer() const { return peer_; }
  void holdPlace(CapTicket ticket) { ticket_ = std::move(ticket); }
  // Reads the first bytes: a TLS ClientHello on a port that speaks HTTPS
  // starts the handshake, an HTTP request on a clear port is read.
  void start();

  // A connection the world cannot take: told why in a plain answer, and let
  // go without reading anything from it.
  void turnAway(const std::string& why);
  std::string describe() const override;
  // Says goodbye, sends what is queued and closes; a browser that does not
  // take it within two seconds is closed anyway.
  void closeAfterFlush(const std::string& reason);
  void close(const std::string& reason);
  // Closes the connection when its peer has long given no sign of life
  // (`peerLongSilent`); the world asks once a second.
  void closeIfPeerGone();

  // --- what the core tells this player (web_player.cpp, web_view.cpp) ------------
  void avatarArrived(const Avatar& who, Arrival how) override;
  void avatarLeft(const Avatar& who, Departure how) override;
  void objectAdded(const ObjectEvent& event) override;
  void objectRemoved(const ObjectEvent& event) override;
  void chat(const Avatar& speaker, std::string_view text) override;
  void whisper(const Avatar& from, std::string_view text) override;
  void tell(const Avatar& from, std::string_view text) override;
  void echo(std::string_view text, const Avatar* to) override;
  void worldMessage(std::string_view text) override;
  void dismiss(Dismissal why) override;
  // The page draws its avatar where the world puts it: a walk is answered
  // by the avatar's new place (and what is near there), not by a line.
  void walked(std::string_view) override;
  // The world is closing.
  void sayGoodbye(const std::string& why);

 private:
  // --- the first bytes and TLS (web_tls_start.cpp) ------------------------------
  void onFirstBytes(ErrorCode ec);
  void onHandshake(ErrorCode ec, std::size_t used);
  // A clear-text request on the port that speaks HTTPS: where to go instead.
  void pointToHttps(bool parsed);

  // --- HTTP (web_http.cpp) ------------------------------------------------------
  void readRequest();
  void onRequest(ErrorCode ec);
  // A short text answer; `closeAfter` for answers after which the rest of
  // the connection's bytes cannot be trusted.
  void respond(http::status status, std::string_view text, bool closeAfter);
  void respondAndClose(http::status status, std::string_view text);
  // GET /metrics: the world's figures, from this machine only.
  void serveMetrics();
  template <typename Response>
  void writeResponse(const std::shared_ptr<Response>& response, bool closeAfter);

  // --- the WebSocket and its output (web_socket.cpp) ---------------------------
  void upgrade();
  // The log-in deadline, or once in the world the idle time (see
  // armDeadlineTimer); a message meanwhile only moves it.
  void armDeadline();
  void onDeadline(ConnectionTimeouts::Due due);
  void readMessage();
  void send(std::string message);
  // Writes every queued message in one frame, one message per line (JSON
  // text never holds a raw line break).
  void writeMore();
  void finishClosing();
  void refuse(const std::string& why);

  // --- messages to the core (web_player.cpp) -----------------------------------
  void handle(std::string_view message);
  void login(const WebRequest& r);
  // What the gate says and does, on this port.
  void sayLogin(PlayerLogin::Step step, const std::string& text) override;
  void sayDropped(const std::string& text) override;
  void holdFor(std::chrono::milliseconds wait, std::function<void()> then) override;
  bool holdWhile(std::function<bool()> work, std::function<void(HashAnswer)> then) override;
  void tellPlayer(const std::string& text) override;
  void letGo(const std::string& reason) override;
  void enterWorld(const std::string& shownName, AvatarKind kind) override;

  // --- what the page is shown (web_view.cpp) -----------------------------------
  bool seesObject(const WorldObject& o) const;
  void showObject(const WorldObject& o);
  void sendAvatar(const Avatar& a);
  void flushGone();
  // After the player entered or was moved: its own figure, and the avatars
  // and objects near its new place (those out of range go).
  void followOwnPosition();

  struct Gone {
    Avatar who;
    Departure how;
  };

  WebPort& port_;
  ConnectionHub& hub_;
  WorldCore& core_;
  tcp::socket& socket() { return ws_ ? ws_->next_layer().tcp().socket() : http_.tcp().socket(); }

  WebStream http_;
  std::optional<websocket::stream<WebStream>> ws_;
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
  // The room of the outgoing frame kept for the next turn's frame.
  static constexpr std::size_t kFrameRoomKept = 16 * 1024;
  std::size_t frameCounted_ = 0;  // its messages' bytes, as counted in unsent_
  std::size_t unsent_ = 0;
  bool writing_ = false;
  bool writePosted_ = false;
  bool closing_ = false;
  bool closed_ = false;
  std::string closeReason_;
  std::string peer_;

  PlayerGate gate_;
  int32_t session_ = 0;
  std::string name_;
  AvatarKind kind_ = AvatarKind::kGuest;
  bool shownSelf_ = false;
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t z_ = 0;
  IdSet seenAvatars_;
  IdSet seenObjects_;
  std::map<int32_t, Gone> pendingGone_;
  WorldMetrics::Counted counted_;
};

}  // namespace kelva::world
