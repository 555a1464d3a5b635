#include "console/web/console_server.h"

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <charconv>
#include <nlohmann/json.hpp>

#include "auth/password_hash.h"
#include "console/web/console_connection.h"
#include "world/ports/web_files.h"

namespace kelva::console::web {

namespace {

using nlohmann::json;
using Reply = ConsoleServer::Reply;
using tcp = boost::asio::ip::tcp;

// Every log-in is to the one operator's account.
constexpr const char* kOperator = "operator";
// Password checks waiting or running at once; more are refused, so that a
// burst of guesses cannot all be checked before the first failures count.
constexpr int kMostChecks = 4;
// Open connections at once; more are closed at once. The operator's browser
// needs a handful.
constexpr int64_t kMostConnections = 64;

Reply jsonReply(unsigned status, const json& body) { return Reply::of(status, "application/json", body.dump()); }
Reply errorReply(unsigned status, const std::string& why) { return jsonReply(status, json{{"error", why}}); }

// The value of `name` in the target's query; empty when absent.
std::string queryValue(const std::string& target, const std::string& name) {
  const std::size_t q = target.find('?');
  if (q == std::string::npos) return {};
  std::size_t start = q + 1;
  while (start < target.size()) {
    std::size_t end = target.find('&', start);
    if (end == std::string::npos) end = target.size();
    if (target.compare(start, name.size() + 1, name + "=") == 0) {
      return target.substr(start + name.size() + 1, end - start - name.size() - 1);
    }
    start = end + 1;
  }
  return {};
}

uint64_t queryNumber(const std::string& target, const std::string& name) {
  const std::string text = queryValue(target, name);
  uint64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Whether a change comes from this server's own page: a browser names the
// page's origin on every POST; a page of another site cannot make it name ours.
bool sameSite(const ConsoleServer::Request& r, bool secure) {
  if (r.fetchSite == "cross-site" || r.fetchSite == "same-site") return false;
  if (r.origin.empty()) return true;
  return r.origin == (secure ? "https://" : "http://") + r.host;
}

}  // namespace

ConsoleServer::ConsoleServer(ConsoleServerSettings settings, ConsoleApi& api, GameMetrics& metrics)
    : settings_(std::move(settings)), api_(api), metrics_(metrics), throttle_(settings_.throttle), acceptor_(io_) {}

ConsoleServer::~ConsoleServer() {
  checks_.stop();
  checks_.join();
}

Status ConsoleServer::start() {
  if (settings_.tls.enabled()) {
    auto context = world::loadTlsContext(settings_.tls);
    if (!context.isOk()) return context.status();
    tls_ = std::move(context.value());
  }
  boost::system::error_code ec;
  const auto address = boost::asio::ip::make_address(settings_.bind, ec);
  if (ec) return Status::error("the console address " + settings_.bind + " is not an address");
  auto open = [&](uint16_t port) {
    acceptor_ = tcp::acceptor(io_);
    tcp::endpoint endpoint(address, port);
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(boost::asio::socket_base::max_listen_connections, ec);
    return !ec;
  };
  // A port that is taken (another bot's console) gives way to any free one.
  if (!open(settings_.port) && !(settings_.port != 0 && open(0))) {
    return Status::error("cannot open the console on " + settings_.bind + ": " + ec.message());
  }
  port_ = acceptor_.local_endpoint().port();
  accept();
  return Status::ok();
}

Status ConsoleServer::reloadTls() {
  if (!tls_) return Status::error("the console speaks no TLS: there is no certificate to read again");
  auto context = world::loadTlsContext(settings_.tls);
  if (!context.isOk()) return context.status();
  tls_ = std::move(context.value());
  return Status::ok();
}

std::string ConsoleServer::address() const {
  const bool v6 = settings_.bind.find(':') != std::string::npos;
  return (secure() ? "https://" : "http://") + (v6 ? "[" + settings_.bind + "]" : settings_.bind) + ":" + std::to_string(port_) + "/";
}

void ConsoleServer::poll() {
  io_.poll();
  // poll() stops the context once it runs out of work; the next call must run again.
  if (io_.stopped()) io_.restart();
}

void ConsoleServer::accept() {
  acceptor_.async_accept([this](boost::system::error_code ec, tcp::socket socket) {
    if (ec == boost::asio::error::operation_aborted) return;
    if (!ec && metrics_.connections("console") < kMostConnections) serveConsoleConnection(std::move(socket), *this, tls_);
    accept();
  });
}

void ConsoleServer::handle(const Request& r, std::function<void(Reply)> done) {
  const std::string path = r.target.substr(0, r.target.find('?'));
  const auto now = ConsoleSessions::Clock::now();
  const std::optional<std::string> formKey = sessions_.use(cookieValue(r.cookie, kSessionCookie), now);
  const bool isPost = r.method == "POST";
  if (!isPost && r.method != "GET") return done(errorReply(405, "only GET and POST are served here"));

  if (path == "/metrics") {
    if (!r.loopback && !formKey) return done(errorReply(401, "log in first"));
    return done(Reply::of(200, std::string(PrometheusText::kContentType), metrics_.exposition()));
  }
  if (path.rfind("/api/", 0) != 0) {
    if (isPost) return done(errorReply(405, "only GET is served here"));
    if (path == "/lib/chart.min.js") return done(Reply::ofFile("text/javascript; charset=utf-8", settings_.chartFile));
    // The page's own files hold no game data: the page asks for its log-in.
    const auto file = world::webFileFor(path, world::WebRoots{settings_.pageRoot, ""});
    if (!file) return done(Reply::of(404, "text/plain; charset=utf-8", "Not found.\n"));
    return done(Reply::ofFile(std::string(world::webContentType(*file)), *file));
  }

  if (path == "/api/login") {
    if (!isPost) return done(errorReply(405, "log in with POST"));
    if (!sameSite(r, secure())) return done(errorReply(403, "a log-in from another site is refused"));
    return logIn(r, std::move(done));
  }
  if (!formKey) return done(errorReply(401, "log in first"));
  if (isPost) {
    if (!sameSite(r, secure()) || !auth::sameToken(r.formKey, *formKey)) {
      return done(errorReply(403, "the request did not come from the console page"));
    }
    if (path == "/api/logout") {
      sessions_.close(cookieValue(r.cookie, kSessionCookie));
      Reply reply = jsonReply(200, json::object());
      reply.setCookie = std::string(kSessionCookie) + "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0" +
                        (secure() ? "; Secure" : "");
      return done(std::move(reply));
    }
    const ApiAnswer answer = api_.act(path.substr(5), r.body);
    return done(Reply::of(static_cast<unsigned>(answer.status), "application/json", answer.body));
  }
  if (path == "/api/sound") {
    if (settings_.soundFile.empty()) return done(errorReply(404, "the bot has no sound"));
    return done(Reply::ofFile("audio/wav", settings_.soundFile));
  }
  if (path == "/api/session") return done(jsonReply(200, json{{"formKey", *formKey}}));
  if (path == "/api/state") {
    const ApiAnswer answer =
        api_.state(queryNumber(r.target, "combo1"), queryNumber(r.target, "list1"), queryNumber(r.target, "activity"));
    return done(Reply::of(static_cast<unsigned>(answer.status), "application/json", answer.body));
  }
  if (path == "/api/characters") return done(Reply::of(200, "application/json", api_.characters().body));
  if (path == "/api/charts") return done(Reply::of(200, "application/json", api_.charts().body));
  if (path == "/api/online") return done(Reply::of(200, "application/json", api_.online().body));
  return done(errorReply(404, "no such view"));
}

void ConsoleServer::logIn(const Request& r, std::function<void(Reply)> done) {
  auto hash = settings_.passwordHash ? settings_.passwordHash() : Result<std::optional<std::string>>(std::nullopt);
  if (!hash.isOk()) return done(errorReply(500, hash.status().message()));
  if (!hash.value()) {
    return done(errorReply(403, "no console password is set: run kelvabot console-password --data-dir DIR"));
  }
  const json body = json::parse(r.body, nullptr, false);
  if (!body.is_object() || !body.contains("password") || !body["password"].is_string()) {
    return done(errorReply(400, "give the password"));
  }
  std::string password = body["password"].get<std::string>();
  const auto decision = throttle_.admit(r.address, kOperator, world::LoginThrottle::TimePoint::clock::now());
  using Verdict = world::LoginThrottle::Verdict;
  if (decision.verdict == Verdict::kRefused) {
    metrics_.loginRefused("throttled");
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(decision.wait).count();
    return done(errorReply(429, "too many wrong passwords: try again in " + std::to_string(seconds) + " s"));
  }
  if (decision.verdict == Verdict::kCheckLater) {
    auto timer = std::make_shared<boost::asio::steady_timer>(io_, decision.wait);
    timer->async_wait([this, timer, address = r.address, password = std::move(password), hash = *hash.value(),
                       done = std::move(done)](boost::system::error_code ec) mutable {
      if (!ec) checkPassword(address, std::move(password), std::move(hash), std::move(done));
    });
    return;
  }
  checkPassword(r.address, std::move(password), *hash.value(), std::move(done));
}

void ConsoleServer::checkPassword(const std::string& address, std::string password, std::string hash,
                                  std::function<void(Reply)> done) {
  if (checksUnderWay_ >= kMostChecks) {
    metrics_.loginRefused("throttled");
    return done(errorReply(429, "too many log-ins at once: try again in a moment"));
  }
  ++checksUnderWay_;
  boost::asio::post(checks_, [this, address, password = std::move(password), hash = std::move(hash),
                              done = std::move(done)]() mutable {
    const bool right = auth::verifyPassword(hash, password);
    // Back on the game's thread for the throttle and the sessions.
    boost::asio::post(io_, [this, right, address, done = std::move(done)] {
      --checksUnderWay_;
      const auto now = world::LoginThrottle::TimePoint::clock::now();
      if (!right) {
        throttle_.failed(address, kOperator, now);
        metrics_.loginRefused("password");
        return done(errorReply(401, "wrong password"));
      }
      throttle_.succeeded(address, kOperator, now);
      const ConsoleSessions::Opened opened = sessions_.open(now);
      Reply reply = jsonReply(200, json{{"formKey", opened.formKey}});
      reply.setCookie = std::string(kSessionCookie) + "=" + opened.token + "; Path=/; HttpOnly; SameSite=Strict" +
                        (secure() ? "; Secure" : "");
      done(std::move(reply));
    });
  });
}

}  // namespace kelva::console::web
