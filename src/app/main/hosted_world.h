// A world server that kelvabot runs in its own process, on this machine's
// loopback only, so that a newcomer has a world to play in without starting
// kelva-world: the demo world, or the one of a world file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "data/result.h"
#include "world/core/world_file.h"
#include "world/ports/web_tls.h"

namespace kelva::app {

class HostedWorld {
 public:
  // Reads the world (`worldFile`, else the demo world built into kelvabot)
  // and opens its ports on 127.0.0.1: players on `playerPort` (by default
  // 7777, or any free port when 7777 is taken), browsers on `webPort` (by
  // default 7780, or any free port when taken), the bot on any free port.
  // Without `linePort` the world has no line port at all.
  // With `tls` the web port speaks HTTPS: the bot's machine has one name, so
  // the console's certificate serves the players' page too.
  // The world's accounts are kept in `dataDir` (world.db). The server runs
  // on a thread of its own and logs to `log`.
  static Result<std::unique_ptr<HostedWorld>> start(const std::optional<std::string>& worldFile,
                                                    std::optional<uint16_t> playerPort,
                                                    std::optional<uint16_t> webPort,
                                                    const world::WebTlsOptions& tls, const std::string& dataDir,
                                                    std::ostream& log, bool linePort = true);
  // Says goodbye to the players and stops the server.
  ~HostedWorld();

  const world::WorldDefinition& definition() const { return definition_; }
  uint16_t playerPort() const { return playerPort_; }
  uint16_t botPort() const { return botPort_; }
  uint16_t webPort() const { return webPort_; }

  // Has the web port read its certificate again, on the world's thread; the
  // world logs the outcome. Nothing when it speaks no TLS.
  void reloadTls();

  // How players connect and how the bot logs in, for the operator.
  std::string instructions() const;

 private:
  struct Runner;
  HostedWorld() = default;
  world::WorldDefinition definition_;
  uint16_t playerPort_ = 0;
  uint16_t botPort_ = 0;
  uint16_t webPort_ = 0;
  bool webSecure_ = false;
  std::unique_ptr<Runner> runner_;
};

}  // namespace kelva::app
