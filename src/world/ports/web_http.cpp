// The HTTP side of a browser's connection: the page's files, short text
// answers, and the upgrade to the game at /ws.
#include <chrono>

#include "world/ports/web_connection.h"
#include "world/ports/web_origin.h"
#include "world/ports/web_port.h"
#include "data/prometheus_text.h"

namespace kelva::world {

void WebConnection::turnAway(const std::string& why) {
  auto answer = std::make_shared<std::string>(
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
      std::to_string(why.size() + 1) + "\r\nConnection: close\r\n\r\n" + why + "\n");
  http_.tcp().expires_after(std::chrono::seconds(5));
  boost::asio::async_write(http_, boost::asio::buffer(*answer),
                           [self = shared_from_this(), answer](ErrorCode, std::size_t) { self->close("turned away"); });
}

void WebConnection::readRequest() {
  parser_.emplace();
  parser_->header_limit(kMaxWebRequest);
  parser_->body_limit(kMaxWebRequest);
  http_.tcp().expires_after(kWebRequestTimeout);
  http::async_read(http_, buffer_, *parser_, [self = shared_from_this()](ErrorCode ec, std::size_t) {
    self->onRequest(ec);
  });
}

void WebConnection::onRequest(ErrorCode ec) {
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
    if (port_.tls_ && !http_.secure()) {
      pointToHttps(false);
      return;
    }
    respondAndClose(http::status::bad_request, "The request could not be read.\n");
    return;
  }
  request_ = parser_->release();
  if (port_.tls_ && !http_.secure()) {
    pointToHttps(true);
    return;
  }
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
  if (path == "/metrics") {
    serveMetrics();
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
    response.set(http::field::server, kWebServerName);
    response.set(http::field::content_type, webContentType(*file));
    response.set(http::field::cache_control, "no-cache");
    response.set("X-Content-Type-Options", "nosniff");
    response.keep_alive(request_.keep_alive());
  };
  if (request_.method() == http::verb::head) {
    // The file's headers and length, and no body: a file body that is never
    // read would be a closed file to the writer.
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

// The world's figures, for this machine alone; anyone else is told there
// is nothing here, as for any unknown page.
void WebConnection::serveMetrics() {
  ErrorCode ec;
  const auto remote = http_.tcp().socket().remote_endpoint(ec);
  if (ec || !metricsAllowedFrom(remote.address())) {
    respond(http::status::not_found, "Not found.\n", false);
    return;
  }
  if (request_.method() != http::verb::get) {
    respond(http::status::method_not_allowed, "Only GET is served here.\n", true);
    return;
  }
  auto response = std::make_shared<http::response<http::string_body>>(http::status::ok, request_.version());
  response->set(http::field::server, kWebServerName);
  response->set(http::field::content_type, PrometheusText::kContentType);
  response->set(http::field::cache_control, "no-store");
  response->body() = hub_.metrics.exposition(core_.playerCount());
  response->keep_alive(request_.keep_alive());
  response->prepare_payload();
  writeResponse(response, !request_.keep_alive());
}

void WebConnection::respond(http::status status, std::string_view text, bool closeAfter) {
  auto response = std::make_shared<http::response<http::string_body>>(status, request_.version());
  response->set(http::field::server, kWebServerName);
  response->set(http::field::content_type, "text/plain; charset=utf-8");
  if (status == http::status::method_not_allowed) response->set(http::field::allow, "GET, HEAD");
  response->body() = std::string(text);
  response->keep_alive(!closeAfter && request_.keep_alive());
  response->prepare_payload();
  writeResponse(response, closeAfter || !request_.keep_alive());
}

void WebConnection::respondAndClose(http::status status, std::string_view text) {
  request_ = {};
  request_.version(11);
  respond(status, text, true);
}

template <typename Response>
void WebConnection::writeResponse(const std::shared_ptr<Response>& response, bool closeAfter) {
  http::async_write(http_, *response, [self = shared_from_this(), response, closeAfter](ErrorCode ec, std::size_t) {
    if (self->closed_) return;
    if (ec || closeAfter) {
      self->close(ec ? "write failed: " + ec.message() : "request answered");
      return;
    }
    self->readRequest();
  });
}

}  // namespace kelva::world
