// Blocking clients of the web port for the world's tests, over clear TCP or
// over TLS: a page request, and a player in a browser. Every read gives up
// after a few seconds, so a missing answer fails the test instead of
// hanging it.
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
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

// A blocking read that gives up after a while instead of hanging the test.
inline void limitWaits(boost::asio::ip::tcp::socket& socket) {
  timeval tv{3, 0};
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// Connects `stream`'s socket to the web port and, over TLS, shakes hands.
template <typename Stream>
void connectWeb(Stream& stream, uint16_t port) {
  using namespace web_client;
  tcp::socket& socket = beast::get_lowest_layer(stream);
  socket.connect({asio::ip::make_address("127.0.0.1"), port});
  limitWaits(socket);
  if constexpr (!std::is_same_v<Stream, tcp::socket>) stream.handshake(asio::ssl::stream_base::client);
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
  beast::error_code ec;
  http::write(stream, req, ec);
  if (ec) return {};
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> res;
  res.body_limit(4 * 1024 * 1024);
  res.skip(verb == http::verb::head);
  http::read(stream, buffer, res, ec);
  if (ec) return {};
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
    ws_.handshake("127.0.0.1", "/ws");
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
      boost::beast::error_code ec;
      ws_.read(buffer, ec);
      if (ec) return nlohmann::json();
      std::istringstream frame(boost::beast::buffers_to_string(buffer.data()));
      for (std::string line; std::getline(frame, line);) unread_.push_back(line);
    }
  }
  // Whether the world closed the connection (reading fails).
  bool closed() {
    for (;;) {
      boost::beast::flat_buffer buffer;
      boost::beast::error_code ec;
      ws_.read(buffer, ec);
      if (ec)
        return ec != boost::beast::error::timeout && ec != boost::asio::error::would_block &&
               ec != boost::asio::error::try_again;
    }
  }

 private:
  boost::asio::io_context io_;
  boost::beast::websocket::stream<Stream> ws_;
  std::deque<std::string> unread_;
};

using WebClient = BasicWebClient<boost::asio::ip::tcp::socket>;
using TlsWebClient = BasicWebClient<boost::asio::ssl::stream<boost::asio::ip::tcp::socket>>;

}  // namespace kelva::testing
