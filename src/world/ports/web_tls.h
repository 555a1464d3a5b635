// The web port's certificate and key: read at start and again when the
// operator asks (SIGHUP), for instance after an ACME client renewed them.
//
// A reload that fails keeps the certificate the port already has: players
// go on connecting with the old one while the operator fixes the files.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "data/result.h"

namespace boost::asio::ssl {
class context;
}

namespace kelva::world {

struct WebTlsOptions {
  std::string certificate;  // PEM: the certificate, then its chain
  std::string key;          // PEM: the private key
  // A handshake not finished this long after the ClientHello came is given up.
  std::chrono::milliseconds handshakeTimeout{10000};
  bool enabled() const { return !certificate.empty(); }
};

// A server context for TLS 1.2 and 1.3 only, with the library's default
// ciphers for them. The error names the file that could not be used, or
// says the key is not the certificate's.
Result<std::shared_ptr<boost::asio::ssl::context>> loadTlsContext(const WebTlsOptions& tls);

// The first byte of a TLS connection: a handshake record.
inline constexpr unsigned char kTlsHandshakeRecord = 0x16;

}  // namespace kelva::world
