// A self-signed certificate made at test time, and a client that trusts it,
// for the ports that speak HTTPS.
#pragma once

#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace kelva::testing {

// A self-signed certificate for 127.0.0.1 and its key, made now as
// `stem`.pem and `stem`.key in `folder`.
inline bool makeCertificate(const std::filesystem::path& folder, const std::string& stem) {
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=kelva-test "
      "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
      (folder / (stem + ".key")).string() + "' -out '" + (folder / (stem + ".pem")).string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// A client that trusts only the certificate `pem` and checks it names
// 127.0.0.1; `maxVersion`, when given, caps the TLS versions it offers.
inline std::unique_ptr<boost::asio::ssl::context> trusting(const std::filesystem::path& pem, int maxVersion = 0) {
  namespace ssl = boost::asio::ssl;
  auto context = std::make_unique<ssl::context>(ssl::context::tls_client);
  context->load_verify_file(pem.string());
  context->set_verify_mode(ssl::verify_peer);
  if (maxVersion != 0) {
    // Old versions are allowed on this side, so that a refusal is the server's.
    SSL_CTX_set_security_level(context->native_handle(), 0);
    SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_VERSION);
    SSL_CTX_set_max_proto_version(context->native_handle(), maxVersion);
  }
  return context;
}

}  // namespace kelva::testing
