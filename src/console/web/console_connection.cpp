#include "console/web/console_connection.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <memory>
#include <optional>

#include "console/web/console_server.h"
#include "world/ports/web_stream.h"

namespace kelva::console::web {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using ErrorCode = boost::system::error_code;

constexpr std::size_t kMaxRequest = 64 * 1024;
constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr const char* kServerName = "kelvabot-console";
// A handshake not finished in this time is given up: a client that speaks
// plain HTTP to the HTTPS port, or nothing at all, is closed, never waited on.
constexpr auto kHandshakeTimeout = std::chrono::seconds(10);

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(boost::asio::ip::tcp::socket socket, ConsoleServer& server)
      : stream_(std::move(socket)), server_(server), metrics_(server.metrics()) {
    metrics_.connectionOpened("console");
  }
  ~Connection() { metrics_.connectionClosed("console"); }

  // Over TLS when the server has a certificate: the handshake first.
  void start(std::shared_ptr<boost::asio::ssl::context> tls) {
    if (!tls) return read();
    stream_.startTls(std::move(tls));
    stream_.tcp().expires_after(kHandshakeTimeout);
    stream_.tls().async_handshake(boost::asio::ssl::stream_base::server, [self = shared_from_this()](ErrorCode ec) {
      if (!ec) self->read();
    });
  }

  void read() {
    parser_.emplace();
    parser_->header_limit(kMaxRequest);
    parser_->body_limit(kMaxRequest);
    stream_.tcp().expires_after(kRequestTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](ErrorCode ec, std::size_t) { self->onRequest(ec); });
  }

 private:
  void onRequest(ErrorCode ec) {
    if (ec) {
      if (ec == http::error::header_limit || ec == http::error::body_limit) {
        auto tooLarge = ConsoleServer::Reply::of(413, "text/plain; charset=utf-8", "The request is too large.\n");
        write(std::move(tooLarge), false);
      }
      return;
    }
    request_ = parser_->release();
    ConsoleServer::Request r;
    r.method = std::string(request_.method_string());
    r.target = std::string(request_.target());
    r.body = request_.body();
    r.cookie = std::string(request_[http::field::cookie]);
    r.origin = std::string(request_[http::field::origin]);
    r.host = std::string(request_[http::field::host]);
    r.formKey = std::string(request_["X-Kelva-Form-Key"]);
    r.fetchSite = std::string(request_["Sec-Fetch-Site"]);
    ErrorCode endpointError;
    const auto endpoint = stream_.tcp().socket().remote_endpoint(endpointError);
    if (!endpointError) {
      r.address = endpoint.address().to_string();
      r.loopback = endpoint.address().is_loopback() ||
                   (endpoint.address().is_v6() && endpoint.address().to_v6().is_v4_mapped() &&
                    boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, endpoint.address().to_v6())
                        .is_loopback());
    }
    const bool keepAlive = request_.keep_alive();
    // The reply may come later (a password check); the connection waits for it.
    server_.handle(r, [self = shared_from_this(), keepAlive](ConsoleServer::Reply reply) {
      self->write(std::move(reply), keepAlive);
    });
  }

  template <typename Response>
  void finish(std::shared_ptr<Response> response, const ConsoleServer::Reply& reply, bool keepAlive) {
    response->set(http::field::server, kServerName);
    response->set(http::field::content_type, reply.contentType);
    response->set(http::field::cache_control, "no-store");
    response->set("X-Content-Type-Options", "nosniff");
    response->set("X-Frame-Options", "DENY");
    response->set("Referrer-Policy", "no-referrer");
    if (!reply.setCookie.empty()) response->set(http::field::set_cookie, reply.setCookie);
    response->keep_alive(keepAlive);
    response->prepare_payload();
    http::async_write(stream_, *response, [self = shared_from_this(), response, keepAlive](ErrorCode ec, std::size_t) {
      if (ec || !keepAlive) {
        ErrorCode ignored;
        self->stream_.tcp().socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
        return;
      }
      self->read();
    });
  }

  void write(ConsoleServer::Reply reply, bool keepAlive) {
    const auto status = static_cast<http::status>(reply.status);
    if (!reply.file.empty()) {
      http::file_body::value_type body;
      ErrorCode ec;
      body.open(reply.file.c_str(), beast::file_mode::scan, ec);
      if (!ec) {
        auto response = std::make_shared<http::response<http::file_body>>(status, request_.version());
        response->body() = std::move(body);
        finish(response, reply, keepAlive);
        return;
      }
      reply = ConsoleServer::Reply::of(404, "text/plain; charset=utf-8", "Not found.\n");
    }
    auto response = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(reply.status),
                                                                         request_.version(), reply.body);
    finish(response, reply, keepAlive);
  }

  world::WebStream stream_;
  ConsoleServer& server_;
  GameMetrics& metrics_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  http::request<http::string_body> request_;
};

}  // namespace

void serveConsoleConnection(boost::asio::ip::tcp::socket socket, ConsoleServer& server,
                            std::shared_ptr<boost::asio::ssl::context> tls) {
  std::make_shared<Connection>(std::move(socket), server)->start(std::move(tls));
}

}  // namespace kelva::console::web
