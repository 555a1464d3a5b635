// The web port: the page and its files over HTTP, and the game over a
// WebSocket at /ws, for players in a browser (docs/web_protocol.md).
//
// A web player is a player like any other: it chooses a name through
// `PlayerLogin`, its lines go through the same checks and flood allowance as
// the line port's, and it acts through the same calls of the core. Its
// connections count in the same caps and have the same deadlines, password
// throttle and keep-alive as the line port's (the hub's safeguards). The port
// turns the core's events into the JSON messages the page reads: who and
// what is near, chat, whispers and the world's own messages.
//
// HTTP and WebSocket framing are Boost.Beast's; with a certificate the port
// speaks only TLS (OpenSSL's), HTTPS and wss://. Everything runs on the
// thread that runs the io_context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "world/ports/listener.h"
#include "world/ports/web_files.h"
#include "world/ports/web_tls.h"
#include "world/core/world_core.h"

namespace kelva::world {

class WebConnection;

class WebPort : public Listener {
 public:
  // `hub` and `core` must outlive the port. Every browser connection, a page
  // load as much as a player, counts in the players' caps. Pages from
  // `origins`, beside the world's own, may play (web_origin.h).
  WebPort(ConnectionHub& hub, WorldCore& core, WebRoots roots, std::vector<std::string> origins = {});
  ~WebPort();

  // From now on the port speaks HTTPS and wss:// with the certificate and
  // key `options` names; before open(). The error says which file is wrong.
  Status enableTls(WebTlsOptions options);
  bool secure() const { return tls_ != nullptr; }
  // The certificate and key as last read (null without TLS); the line port
  // speaks TLS with the same ones.
  std::shared_ptr<boost::asio::ssl::context> tlsContext() const { return tls_; }
  // Reads the certificate and key again: connections from now on get the
  // new ones, those open keep theirs. On an error the port keeps the old.
  Status reloadTls();

  // Stops taking connections, says goodbye to every web player and closes
  // every connection.
  void close();
  // Closes the connections whose peers have long given no sign of life.
  void closeSilentPeers();

 protected:
  void accepted(tcp::socket socket) override;

 private:
  WorldCore& core_;
  WebRoots roots_;
  std::vector<std::string> origins_;
  WebTlsOptions tlsOptions_;
  // Null on a clear-text port; each connection keeps the one it began with.
  std::shared_ptr<boost::asio::ssl::context> tls_;
  std::set<std::shared_ptr<WebConnection>> connections_;

  friend class WebConnection;
};

// The folder of the page's own files: `KELVA_WEB_ROOT` when set, else
// share/kelva/web of the installed program (or, run from its build folder,
// the source tree's web/; data/install_paths.h).
std::string defaultWebAssets();
// Where the system's three.js package puts it.
inline constexpr const char* kThreeJsFolder = "/usr/share/javascript/three";

}  // namespace kelva::world
