// Clients of the web port for the world's tests, over clear TCP or over
// TLS: a page request, and a player in a browser. Every wait for an answer
// gives up after kAnswerWait, so a missing answer fails the test instead of
// hanging it.
#pragma once

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

namespace kelva::testing {

namespace web_client {
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
}  // namespace web_client

// How long a test waits for one answer before it fails.
inline constexpr std::chrono::seconds kAnswerWait{10};

// Runs one asynchronous step of `stream` to its end, or for kAnswerWait at
// most: a step still waiting then is cancelled and fails with a timeout, so a
// missing answer fails the test instead of hanging it. (A blocking read
// cannot give up: Asio waits again whenever the socket's own time limit ends.)
template <typename Stream, typename Start>
boost::system::error_code finishWithin(Stream& stream, Start start) {
  namespace asio = boost::asio;
  auto& io = static_cast<asio::io_context&>(asio::query(stream.get_executor(), asio::execution::context));
  boost::system::error_code result;
  bool done = false;
  start([&](boost::system::error_code ec, auto&&...) {
    result = ec;
    done = true;
  });
  io.restart();
  io.run_for(kAnswerWait);
  if (done) return result;
  boost::beast::get_lowest_layer(stream).cancel();
  io.restart();
  io.run();
  return boost::beast::error::timeout;
}

// Connects `stream`'s socket to the web port and, over TLS, shakes hands.
template <typename Stream>
void connectWeb(Stream& stream, uint16_t port) {
  using namespace web_client;
  beast::get_lowest_layer(stream).connect({asio::ip::make_address("127.0.0.1"), port});
  if constexpr (!std::is_same_v<Stream, tcp::socket>) {
    auto ec = finishWithin(stream, [&](auto done) { stream.async_handshake(asio::ssl::stream_base::client, done); });
    if (ec) throw boost::system::system_error(ec, "TLS handshake");
  }
}

struct Answer {
  unsigned status = 0;
  std::string type;
  std::string length;  // Content-Length
  std::string body;
};

// One request on a connected stream and its answer; a status of 0 when none came.
template <typename Stream>
Answer ask(Stream& stream, const std::string& target, boost::beast::http::verb verb = boost::beast::http::verb::get,
           const std::string& extra = {}) {
  using namespace web_client;
  http::request<http::string_body> req(verb, target, 11);
  req.set(http::field::host, "127.0.0.1");
  if (!extra.empty()) req.set("X-Padding", extra);
  if (finishWithin(stream, [&](auto done) { http::async_write(stream, req, done); })) return {};
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> res;
  res.body_limit(4 * 1024 * 1024);
  res.skip(verb == http::verb::head);
  if (finishWithin(stream, [&](auto done) { http::async_read(stream, buffer, res, done); })) return {};
  return {res.get().result_int(), std::string(res.get()[http::field::content_type]),
          std::string(res.get()[http::field::content_length]), res.get().body()};
}

inline Answer get(uint16_t port, const std::string& target,
                  boost::beast::http::verb verb = boost::beast::http::verb::get, const std::string& extra = {}) {
  boost::asio::io_context io;
  boost::asio::ip::tcp::socket socket(io);
  connectWeb(socket, port);
  return ask(socket, target, verb, extra);
}

// A player in a browser, as the world sees one; `Stream` is a TCP socket,
// or a TLS stream over one made from the context given after the port.
template <typename Stream>
class BasicWebClient {
 public:
  template <typename... Context>
  explicit BasicWebClient(uint16_t port, Context&... context) : ws_(io_, context...) {
    connectWeb(ws_.next_layer(), port);
    auto ec = finishWithin(ws_, [&](auto done) { ws_.async_handshake("127.0.0.1", "/ws", done); });
    if (ec) throw boost::system::system_error(ec, "WebSocket handshake");
  }
  void send(const std::string& text, bool binary = false) {
    ws_.binary(binary);
    ws_.write(boost::asio::buffer(text));
  }
  // The next message of `type`, skipping others; null when none comes. A
  // frame holds one or more messages, one per line.
  nlohmann::json next(const std::string& type) {
    for (;;) {
      while (!unread_.empty()) {
        nlohmann::json m = nlohmann::json::parse(unread_.front());
        unread_.pop_front();
        if (m.value("type", "") == type) return m;
      }
      boost::beast::flat_buffer buffer;
      if (read(buffer)) return nlohmann::json();
      std::istringstream frame(boost::beast::buffers_to_string(buffer.data()));
      for (std::string line; std::getline(frame, line);) unread_.push_back(line);
    }
  }
  // Whether the world closed the connection (reading fails before the wait ends).
  bool closed() {
    for (;;) {
      boost::beast::flat_buffer buffer;
      if (auto ec = read(buffer)) return ec != boost::beast::error::timeout;
    }
  }

 private:
  boost::system::error_code read(boost::beast::flat_buffer& buffer) {
    return finishWithin(ws_, [&](auto done) { ws_.async_read(buffer, done); });
  }

  boost::asio::io_context io_;
  boost::beast::websocket::stream<Stream> ws_;
  std::deque<std::string> unread_;
};

using WebClient = BasicWebClient<boost::asio::ip::tcp::socket>;
using TlsWebClient = BasicWebClient<boost::asio::ssl::stream<boost::asio::ip::tcp::socket>>;

}  // namespace kelva::testing
