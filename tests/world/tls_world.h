// A world on free ports that speaks TLS with a certificate made for the test.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "support/temp_folder.h"
#include "world/server_fixture.h"
#include "world/tls_handshake.h"

namespace kelva::testing {

class TlsWorld {
 public:
  TlsWorld() : folder_("kelva_tls_world") {}
  // Starts the world with the certificate `stem` on its web port and, with
  // `playerTls`, on its line port too; false when either fails.
  bool start(const std::string& stem, std::chrono::milliseconds handshakeTimeout = std::chrono::seconds(10),
             bool playerTls = false) {
    if (!makeCertificate(folder_.path, stem)) return false;
    world::ServerOptions options = ServerRunner::freePorts();
    options.webTls = {pem(stem).string(), key(stem).string(), handshakeTimeout};
    options.playerTls = playerTls;
    server_ = std::make_unique<ServerRunner>(demoDefinition(), options);
    return server_->started();
  }
  std::filesystem::path pem(const std::string& stem) const { return folder_.path / (stem + ".pem"); }
  std::filesystem::path key(const std::string& stem) const { return folder_.path / (stem + ".key"); }
  ServerRunner& server() { return *server_; }
  const TempFolder& folder() const { return folder_; }

 private:
  TempFolder folder_;
  std::unique_ptr<ServerRunner> server_;
};

}  // namespace kelva::testing
