// A TLS handshake with a port that speaks TLS, trusting the certificate
// made at test time (support/test_certificate.h).
#pragma once

#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support/test_certificate.h"
#include "world/web_client.h"

namespace kelva::testing {

// Shakes hands with the port `port` on 127.0.0.1, checking the certificate
// names that address; the error, or none.
inline boost::system::error_code handshake(uint16_t port, boost::asio::ssl::context& context) {
  namespace asio = boost::asio;
  asio::io_context io;
  asio::ssl::stream<asio::ip::tcp::socket> stream(io, context);
  stream.set_verify_callback(asio::ssl::host_name_verification("127.0.0.1"));
  connectWeb(stream.next_layer(), port);
  return finishWithin(stream, [&](auto done) { stream.async_handshake(asio::ssl::stream_base::client, done); });
}

}  // namespace kelva::testing
