// The start of a connection on a line port that speaks TLS: its first bytes
// say what the client speaks. A TLS ClientHello starts the handshake, and
// the player is welcomed once it is done; anything else is a client that
// speaks clear text (nc, telnet), told in clear text to use TLS and let go.
// A client that sends nothing, or never finishes its handshake, is let go at
// the handshake's deadline.
#include "world/ports/socket_connection.h"
#include "world/ports/web_tls.h"

namespace kelva::world {

void SocketConnection::speakTls(std::shared_ptr<boost::asio::ssl::context> context,
                                std::chrono::milliseconds handshakeTimeout) {
  tls_ = std::move(context);
  handshakeTimeout_ = handshakeTimeout;
}

void SocketConnection::shakeHands(std::function<void()> then) {
  if (!tls_) {
    then();
    return;
  }
  handshaking_ = true;
  // One deadline for the first bytes and the whole handshake after them.
  stream_.tcp().expires_after(handshakeTimeout_);
  readBuffer_.assign(readSize_, '\0');
  stream_.async_read_some(asio::buffer(readBuffer_),
                          [self = shared_from_this(), then = std::move(then)](const ErrorCode& ec, std::size_t n) {
                            self->onFirstBytes(ec, n, then);
                          });
}

void SocketConnection::onFirstBytes(const ErrorCode& ec, std::size_t n, std::function<void()> then) {
  if (closed_) return;
  if (ec) {
    close(ec == boost::beast::error::timeout ? "sent nothing in time" : "the client closed the connection");
    return;
  }
  if (static_cast<unsigned char>(readBuffer_[0]) != kTlsHandshakeRecord) {
    hub_.guards.logOnce("player clear text on tls " + source_,
                        "connection from " + peer_ + " spoke clear text to the TLS player port; told and closed");
    ErrorCode e;
    const tcp::endpoint here = socket().local_endpoint(e);
    const std::string address =
        e ? std::string("HOST:PORT")
          : (here.address().is_v6() ? "[" + here.address().to_string() + "]" : here.address().to_string()) + ":" +
                std::to_string(here.port());
    handshaking_ = false;
    send("* This port speaks TLS: connect with a TLS client, such as openssl s_client -quiet -connect " + address);
    closeAfterFlush("spoke clear text to the TLS player port");
    return;
  }
  stream_.startTls(tls_);
  // The bytes already read are the handshake's first. (The default for
  // `used` only satisfies the library's check of the handler, which asks
  // for the unbuffered handshake's signature; the call always passes it.)
  stream_.tls().async_handshake(
      boost::asio::ssl::stream_base::server, asio::buffer(readBuffer_.data(), n),
      [self = shared_from_this(), then = std::move(then)](ErrorCode e, std::size_t used = 0) {
        (void)used;
        if (self->closed_) return;
        if (e) {
          const std::string why = e == boost::beast::error::timeout ? "did not finish in time" : e.message();
          self->hub_.guards.logOnce("player tls handshake " + self->source_,
                                    "TLS handshake with " + self->peer_ + " failed: " + why);
          self->close("the TLS handshake failed: " + why);
          return;
        }
        self->handshaking_ = false;
        self->stream_.tcp().expires_never();
        then();
      });
}

}  // namespace kelva::world
