#include "world/world_server.h"

#include "world/bot_port.h"
#include "world/line_port.h"
#include "world/web_port.h"
#include "world/world_core.h"

namespace kelva::world {

class WorldServer::Impl {
 public:
  Impl(asio::io_context& io, WorldDefinition def, ServerOptions options, std::ostream& log)
      : options_(std::move(options)), hub_(io, log, options_.limits), core_(std::move(def)),
        players_(hub_, core_, options_.maxPlayers), bots_(hub_, core_),
        web_(hub_, core_, {options_.webRoot.empty() ? defaultWebAssets() : options_.webRoot, kThreeJsFolder},
             options_.maxPlayers) {}

  Status start() {
    if (Status s = players_.open(options_.bindAddress, options_.playerPort); !s.isOk()) return s;
    if (Status s = bots_.open(options_.bindAddress, options_.botPort); !s.isOk()) return s;
    if (options_.webPort) {
      if (Status s = web_.open(options_.bindAddress, *options_.webPort); !s.isOk()) return s;
    }
    hub_.log("world " + core_.definition().name + " with " + std::to_string(core_.world().objects().size()) +
             " objects: players on " + options_.bindAddress + ":" + std::to_string(players_.port()) +
             ", bots on " + options_.bindAddress + ":" + std::to_string(bots_.port()) +
             (options_.webPort ? ", browsers on " + options_.bindAddress + ":" + std::to_string(web_.port()) : ""));
    return Status::ok();
  }

  void stop() {
    if (hub_.stopped) return;
    hub_.stopped = true;
    players_.closeListener();
    bots_.closeListener();
    web_.close();
    auto all = hub_.connections;  // closing removes them from the set
    for (const auto& c : all) {
      c->sayGoodbye("the world is closing");
      c->closeAfterFlush("the world is closing");
    }
    hub_.log("stopped");
  }

  ServerOptions options_;
  ConnectionHub hub_;
  WorldCore core_;
  LinePort players_;
  BotPort bots_;
  WebPort web_;
};

WorldServer::WorldServer(asio::io_context& io, WorldDefinition world, ServerOptions options, std::ostream& log)
    : impl_(std::make_unique<Impl>(io, std::move(world), std::move(options), log)) {}

WorldServer::~WorldServer() = default;

Status WorldServer::start() { return impl_->start(); }
uint16_t WorldServer::playerPort() const { return impl_->players_.port(); }
uint16_t WorldServer::botPort() const { return impl_->bots_.port(); }
uint16_t WorldServer::webPort() const { return impl_->options_.webPort ? impl_->web_.port() : 0; }
void WorldServer::stop() { impl_->stop(); }

}  // namespace kelva::world
