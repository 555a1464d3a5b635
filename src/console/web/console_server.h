// The console page's web server, inside kelvabot: the page's files, the
// operator's log-in, the JSON of console_api.h and /metrics, over HTTP
// (Boost.Beast), or over HTTPS only when it is given a certificate.
//
// It runs on its own io_context, which the bot's loop polls between ticks on
// the game's one thread, so every request that touches Form1 runs between the
// world's events and the timers like a click in the window. Only the password
// check runs on a worker thread (it takes a tenth of a second on purpose);
// its outcome comes back through the io_context.
//
// Every /api path but the log-in needs the operator's session cookie (401
// without it); every POST also needs the session's form key in the
// X-Kelva-Form-Key header and, when the browser names one, an Origin of this
// server's own. /metrics needs no log-in from loopback and the session from
// anywhere else. Log-ins are throttled like the world's passwords.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "console/web/console_api.h"
#include "console/web/console_sessions.h"
#include "console/web/metrics.h"
#include "data/result.h"
#include "world/guards/login_throttle.h"
#include "world/ports/web_tls.h"

namespace kelva::console::web {

inline constexpr uint16_t kDefaultConsolePort = 7781;

struct ConsoleServerSettings {
  std::string bind = "127.0.0.1";
  // The port to listen on; when it is taken, any free port. 0: any free port.
  uint16_t port = kDefaultConsolePort;
  std::string pageRoot;   // the page's files (console-web/)
  std::string chartFile;  // Chart.js, served as /lib/chart.min.js
  std::string soundFile;  // the owner message sound, served to the operator as /api/sound
  // Reads the operator's Argon2id hash at each log-in, so a password set
  // while the bot runs counts at once; none: nobody can log in yet.
  std::function<Result<std::optional<std::string>>()> passwordHash;
  world::ThrottleOptions throttle;
  // With a certificate the port speaks HTTPS only (TLS 1.2 and 1.3) and the
  // session cookie is Secure.
  world::WebTlsOptions tls;
};

class ConsoleServer {
 public:
  // `api` and `metrics` must outlive the server.
  ConsoleServer(ConsoleServerSettings settings, ConsoleApi& api, GameMetrics& metrics);
  ~ConsoleServer();
  ConsoleServer(const ConsoleServer&) = delete;
  ConsoleServer& operator=(const ConsoleServer&) = delete;

  // Opens the port; an error when neither it nor a free one can be opened,
  // or when the certificate or its key cannot be used.
  Status start();
  uint16_t port() const { return port_; }
  bool secure() const { return tls_ != nullptr; }
  // Reads the certificate and key again (after a renewal): new connections
  // get them, open ones keep theirs. On failure the port keeps the ones it has.
  Status reloadTls();
  // "http://ADDRESS:PORT/", or https when it speaks TLS.
  std::string address() const;
  // Runs what is ready without waiting; called by the bot's loop.
  void poll();

  // For the connections.
  struct Reply {
    unsigned status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::string setCookie;
    std::string file;  // when set, the body is this file

    static Reply of(unsigned status, std::string contentType, std::string body) {
      Reply r;
      r.status = status;
      r.contentType = std::move(contentType);
      r.body = std::move(body);
      return r;
    }
    static Reply ofFile(std::string contentType, std::string file) {
      Reply r = of(200, std::move(contentType), "");
      r.file = std::move(file);
      return r;
    }
  };
  struct Request {
    std::string method;
    std::string target;
    std::string body;
    std::string cookie;
    std::string origin;
    std::string host;
    std::string formKey;
    std::string fetchSite;  // Sec-Fetch-Site
    std::string address;    // the client's
    bool loopback = false;
  };
  // Answers `request`; `done` is called once, maybe later (a log-in).
  void handle(const Request& request, std::function<void(Reply)> done);

  GameMetrics& metrics() { return metrics_; }

 private:
  void accept();
  void logIn(const Request& request, std::function<void(Reply)> done);
  void checkPassword(const std::string& address, std::string password, std::string hash,
                     std::function<void(Reply)> done);

  boost::asio::io_context io_;
  ConsoleServerSettings settings_;
  ConsoleApi& api_;
  GameMetrics& metrics_;
  ConsoleSessions sessions_;
  world::LoginThrottle throttle_;
  std::shared_ptr<boost::asio::ssl::context> tls_;
  boost::asio::ip::tcp::acceptor acceptor_;
  uint16_t port_ = 0;
  int checksUnderWay_ = 0;
  // Last, so that it is joined first: no check outlives the server.
  boost::asio::thread_pool checks_{1};
};

}  // namespace kelva::console::web
