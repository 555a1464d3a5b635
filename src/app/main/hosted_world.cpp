#include "app/main/hosted_world.h"

#include <boost/asio.hpp>
#include <thread>

#include "demo_world.h"
#include "world/ports/world_server.h"

namespace kelva::app {

struct HostedWorld::Runner {
  boost::asio::io_context io;
  std::unique_ptr<world::WorldServer> server;
  std::thread thread;
};

Result<std::unique_ptr<HostedWorld>> HostedWorld::start(const std::optional<std::string>& worldFile,
                                                        std::optional<uint16_t> playerPort,
                                                        std::optional<uint16_t> webPort,
                                                        const world::WebTlsOptions& tls, const std::string& dataDir,
                                                        std::ostream& log, bool linePort) {
  Result<world::WorldDefinition> def =
      worldFile ? world::loadWorldFile(*worldFile) : world::parseWorldFile(kDemoWorldJson, "(the demo world)");
  if (!def.isOk()) return def.status();

  std::unique_ptr<HostedWorld> hosted(new HostedWorld());
  hosted->definition_ = def.value();
  hosted->runner_ = std::make_unique<Runner>();
  // Only this machine can reach a world the bot hosts itself; kelva-world
  // is the way to open a world to a network.
  world::ServerOptions options;
  options.bindAddress = "127.0.0.1";
  options.botPort = 0;
  // The world's accounts live beside the bot's own data.
  options.dataDir = dataDir;
  options.playerPort = playerPort.value_or(7777);
  if (!linePort) options.playerPort.reset();
  options.webPort = webPort.value_or(7780);
  options.webTls = tls;
  auto server = std::make_unique<world::WorldServer>(hosted->runner_->io, def.value(), options, log);
  Status opened = server->start();
  if (!opened.isOk()) {
    // 7777 and 7780 are only habits: when one is taken, any free ports do
    // (a port the operator asked for stays as asked).
    if (!playerPort && linePort) options.playerPort = 0;
    if (!webPort) options.webPort = 0;
    // The first try may have opened some ports and queued their accepts on
    // the io_context; those go with it, never run, and the second try gets
    // a fresh one.
    server.reset();
    hosted->runner_ = std::make_unique<Runner>();
    server = std::make_unique<world::WorldServer>(hosted->runner_->io, def.value(), options, log);
    opened = server->start();
  }
  if (!opened.isOk()) return opened;
  hosted->playerPort_ = server->playerPort();
  hosted->botPort_ = server->botPort();
  hosted->webPort_ = server->webPort();
  hosted->webSecure_ = server->webSecure();
  hosted->runner_->server = std::move(server);
  Runner* runner = hosted->runner_.get();
  runner->thread = std::thread([runner] { world::runInTurns(runner->io); });
  return hosted;
}

HostedWorld::~HostedWorld() {
  if (!runner_ || !runner_->thread.joinable()) return;
  boost::asio::post(runner_->io, [this] { runner_->server->stop(); });
  runner_->thread.join();
  runner_->server.reset();
}

void HostedWorld::reloadTls() {
  if (!webSecure_ || !runner_) return;
  boost::asio::post(runner_->io, [runner = runner_.get()] { runner->server->reloadTls(); });
}

std::string HostedWorld::instructions() const {
  std::string text = "The world " + definition_.name + " is open on this machine. Players connect " +
                     (playerPort_ != 0 ? "with:\n    nc 127.0.0.1 " + std::to_string(playerPort_) + "\nor " : "") +
                     "in a browser at\n" +
                     "    " + std::string(webSecure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(webPort_) + "/\n" +
                     "(type a name, then .help for the world's actions and /commands for the game's).\n";
  if (!definition_.bots.empty()) {
    text += "The bot logs in as citizen " + std::to_string(definition_.bots.front().citizen) + " with password " +
            definition_.bots.front().password + " in world " + definition_.name + ".\n";
  }
  return text;
}

}  // namespace kelva::app
