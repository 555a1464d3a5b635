// The byte stream under a browser's connection: clear TCP, or TLS over TCP
// once the connection's first bytes were a TLS ClientHello on a port that
// speaks HTTPS. The HTTP answers and the WebSocket are written once, over
// this stream, whichever it is.
//
// Everything here runs on the thread that runs the io_context.
#pragma once

#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cstddef>
#include <memory>
#include <utility>
#include <variant>

namespace kelva::world {

class WebStream {
 public:
  using executor_type = boost::beast::tcp_stream::executor_type;
  using TlsStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

  explicit WebStream(boost::asio::ip::tcp::socket socket) : stream_(boost::beast::tcp_stream(std::move(socket))) {}

  executor_type get_executor() { return tcp().get_executor(); }
  // The TCP stream at the bottom: its deadline (expires_after) bounds every
  // read and write above it, the TLS handshake's too.
  boost::beast::tcp_stream& tcp() {
    return std::visit([](auto& s) -> boost::beast::tcp_stream& { return boost::beast::get_lowest_layer(s); }, stream_);
  }
  bool secure() const { return std::holds_alternative<TlsStream>(stream_); }

  // From now on the stream speaks TLS under `context`, which the connection
  // keeps alive for as long as it lasts (a reload swaps the port's context,
  // never the one a connection started with).
  void startTls(std::shared_ptr<boost::asio::ssl::context> context) {
    context_ = std::move(context);
    boost::beast::tcp_stream plain = std::move(std::get<boost::beast::tcp_stream>(stream_));
    stream_.emplace<TlsStream>(std::move(plain), *context_);
  }
  // Only after startTls.
  TlsStream& tls() { return std::get<TlsStream>(stream_); }

  template <typename Buffers, typename Token>
  auto async_read_some(const Buffers& buffers, Token&& token) {
    return onEither(buffers, std::forward<Token>(token),
                    [](auto& s, const Buffers& b, auto&& handler) { s.async_read_some(b, std::move(handler)); });
  }
  template <typename Buffers, typename Token>
  auto async_write_some(const Buffers& buffers, Token&& token) {
    return onEither(buffers, std::forward<Token>(token),
                    [](auto& s, const Buffers& b, auto&& handler) { s.async_write_some(b, std::move(handler)); });
  }

  // How a WebSocket closes its stream: a TLS close_notify first when it
  // speaks TLS, then the TCP shutdown (found by argument lookup).
  template <typename Handler>
  friend void async_teardown(boost::beast::role_type role, WebStream& stream, Handler&& handler) {
    std::visit(
        [&](auto& s) {
          using boost::beast::websocket::async_teardown;
          async_teardown(role, s, std::forward<Handler>(handler));
        },
        stream.stream_);
  }
  friend void teardown(boost::beast::role_type role, WebStream& stream, boost::system::error_code& ec) {
    std::visit(
        [&](auto& s) {
          using boost::beast::websocket::teardown;
          teardown(role, s, ec);
        },
        stream.stream_);
  }
  // What the WebSocket's own idle timer closes.
  friend void beast_close_socket(WebStream& stream) { stream.tcp().close(); }

 private:
  // Starts `op`, a read or a write of some bytes, on whichever stream this is.
  template <typename Buffers, typename Token, typename Op>
  auto onEither(const Buffers& buffers, Token&& token, Op op) {
    return boost::asio::async_initiate<Token, void(boost::system::error_code, std::size_t)>(
        [this, op](auto handler, const Buffers& b) {
          std::visit([&](auto& s) { op(s, b, std::move(handler)); }, stream_);
        },
        token, buffers);
  }

  std::shared_ptr<boost::asio::ssl::context> context_;
  std::variant<boost::beast::tcp_stream, TlsStream> stream_;
};

}  // namespace kelva::world
