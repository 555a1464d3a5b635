#include "world/ports/web_tls.h"

#include <boost/asio/ssl/context.hpp>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace kelva::world {

namespace {

// The reason OpenSSL gives, in a few words, for the log.
std::string reasonOf(const boost::system::error_code& ec) {
  std::string reason = ec.message();
  ERR_clear_error();
  return reason;
}

}  // namespace

Result<std::shared_ptr<boost::asio::ssl::context>> loadTlsContext(const WebTlsOptions& tls) {
  namespace ssl = boost::asio::ssl;
  auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
  boost::system::error_code ec;
  if (SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION) != 1)
    return Status::error("cannot limit TLS to versions 1.2 and 1.3");
  context->set_options(ssl::context::default_workarounds | ssl::context::no_compression | SSL_OP_NO_RENEGOTIATION |
                           SSL_OP_CIPHER_SERVER_PREFERENCE,
                       ec);
  context->use_certificate_chain_file(tls.certificate, ec);
  if (ec) return Status::error("cannot use the certificate " + tls.certificate + ": " + reasonOf(ec));
  // OpenSSL checks that the key is the certificate's as it takes it.
  context->use_private_key_file(tls.key, ssl::context::pem, ec);
  if (ec && ERR_GET_REASON(static_cast<unsigned long>(ec.value())) == X509_R_KEY_VALUES_MISMATCH) {
    ERR_clear_error();
    return Status::error("the private key " + tls.key + " is not the key of the certificate " + tls.certificate);
  }
  if (ec) return Status::error("cannot use the private key " + tls.key + ": " + reasonOf(ec));
  return context;
}

}  // namespace kelva::world
