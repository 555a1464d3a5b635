#include "world/ports/web_port.h"

#include <cstdlib>
#include <vector>

#include "data/install_paths.h"
#include "world/guards/keep_alive.h"
#include "world/ports/web_connection.h"

namespace kelva::world {

namespace {

// The address the caps and the password throttle count a connection under.
std::string sourceOf(const tcp::socket& socket) {
  ErrorCode ec;
  auto endpoint = socket.remote_endpoint(ec);
  return ec ? std::string("?") : sourceKey(endpoint.address().to_string());
}

// The address and port the log shows for a connection.
std::string peerOf(const tcp::socket& socket) {
  ErrorCode ec;
  auto endpoint = socket.remote_endpoint(ec);
  return ec ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

}  // namespace

WebConnection::WebConnection(WebPort& port, tcp::socket socket)
    : port_(port), hub_(port.hub_), core_(port.core_), http_(std::move(socket)), deadlineTimer_(hub_.io),
      closeTimer_(hub_.io), goneFlush_(hub_.io), pauseTimer_(hub_.io),
      gate_(*this, hub_, core_, sourceOf(http_.tcp().socket()), peerOf(http_.tcp().socket()), " (web)"),
      counted_(hub_.metrics, "web") {
  ErrorCode ec;
  peer_ = peerOf(http_.tcp().socket());
  source_ = sourceOf(http_.tcp().socket());
  http_.tcp().socket().set_option(tcp::no_delay(true), ec);
  if (std::string problem = applyKeepAlive(http_.tcp().socket().native_handle(), hub_.limits.keepAlive);
      !problem.empty())
    hub_.guards.logOnce("keep-alive", "keep-alive for " + peer_ + ": " + problem);
}

WebPort::WebPort(ConnectionHub& hub, WorldCore& core, WebRoots roots, std::vector<std::string> origins)
    : Listener(hub, "web"), core_(core), roots_(std::move(roots)), origins_(std::move(origins)) {}

WebPort::~WebPort() = default;

Status WebPort::enableTls(WebTlsOptions options) {
  tlsOptions_ = std::move(options);
  return reloadTls();
}

Status WebPort::reloadTls() {
  if (!tlsOptions_.enabled()) return Status::error("the web port speaks no TLS: there is no certificate to read again");
  auto context = loadTlsContext(tlsOptions_);
  if (!context.isOk()) return context.status();
  tls_ = std::move(context.value());
  return Status::ok();
}

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
  return sharedFolder("web");
}

}  // namespace kelva::world
