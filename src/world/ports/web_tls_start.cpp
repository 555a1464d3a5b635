// The first bytes of a browser's connection, which say the protocol it
// speaks: on a port that speaks HTTPS a TLS ClientHello starts the handshake
// and anything else is told where to go; on a clear port a ClientHello is
// let go at once, since nothing the port could say would reach the client.
#include "world/ports/web_connection.h"
#include "world/ports/web_port.h"

namespace kelva::world {

void WebConnection::start() {
  http_.tcp().expires_after(kWebRequestTimeout);
  http_.async_read_some(buffer_.prepare(kMaxWebRequest), [self = shared_from_this()](ErrorCode ec, std::size_t n) {
    self->buffer_.commit(n);
    self->onFirstBytes(ec);
  });
}

void WebConnection::onFirstBytes(ErrorCode ec) {
  if (closed_) return;
  if (ec) {
    close(ec == beast::error::timeout ? "sent nothing in time" : "the browser closed the connection");
    return;
  }
  const bool hello =
      static_cast<unsigned char>(*static_cast<const char*>(buffer_.data().data())) == kTlsHandshakeRecord;
  if (!port_.tls_) {
    if (hello) {
      hub_.guards.logOnce("web tls on clear " + source(),
                          "web connection from " + peer_ + " spoke TLS to the clear-text web port; closed");
      close("spoke TLS to the clear-text web port");
      return;
    }
    readRequest();
    return;
  }
  if (!hello) {
    // An HTTP request, most likely: read as one, to name the right address.
    readRequest();
    return;
  }
  http_.startTls(port_.tls_);
  http_.tcp().expires_after(port_.tlsOptions_.handshakeTimeout);
  // The bytes already read are the handshake's first. (The default for
  // `used` only satisfies the library's check of the handler, which asks
  // for the unbuffered handshake's signature; the call always passes it.)
  http_.tls().async_handshake(
      boost::asio::ssl::stream_base::server, buffer_.data(),
      [self = shared_from_this()](ErrorCode e, std::size_t used = 0) { self->onHandshake(e, used); });
}

void WebConnection::onHandshake(ErrorCode ec, std::size_t used) {
  if (closed_) return;
  if (ec) {
    const std::string why = ec == beast::error::timeout ? "did not finish in time" : ec.message();
    hub_.guards.logOnce("web tls handshake " + source(), "TLS handshake with " + peer_ + " failed: " + why);
    close("the TLS handshake failed: " + why);
    return;
  }
  buffer_.consume(used);
  readRequest();
}

void WebConnection::pointToHttps(bool parsed) {
  std::string host = parsed ? std::string(request_[http::field::host]) : std::string();
  if (host.empty()) {
    ErrorCode e;
    tcp::endpoint here = socket().local_endpoint(e);
    host = e ? "this address"
             : (here.address().is_v6() ? "[" + here.address().to_string() + "]" : here.address().to_string()) + ":" +
                   std::to_string(here.port());
  }
  respondAndClose(http::status::bad_request, "This port speaks HTTPS: use https://" + host + "/\n");
}

}  // namespace kelva::world
