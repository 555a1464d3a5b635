#include "world/ports/world_server.h"

#include <malloc.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "world/ports/bot_port.h"
#include "world/guards/descriptor_budget.h"
#include "world/ports/line_port.h"
#include "world/ports/web_port.h"
#include "world/core/world_accounts.h"
#include "world/core/world_core.h"
#include "world/store/account_store.h"
#include "world/store/data_dir_lock.h"
#include "world/store/object_changes.h"

namespace kelva::world {

class WorldServer::Impl {
 public:
  Impl(asio::io_context& io, WorldDefinition def, ServerOptions options, std::ostream& log)
      : options_(std::move(options)), hub_(io, log, options_.limits, options_.maxPlayers), core_(std::move(def)),
        players_(hub_, core_), bots_(hub_, core_),
        web_(hub_, core_, {options_.webRoot.empty() ? defaultWebAssets() : options_.webRoot, kThreeJsFolder},
             options_.webOrigins),
        housekeeping_(io) {}

  // A connection still open (the loop was stopped before it had closed)
  // gives its place in the caps back now, while the caps still exist.
  ~Impl() {
    hub_.stopped = true;
    auto open = hub_.connections;
    for (const auto& c : open) c->close("the world is closing");
  }

  Status start() {
    // A certificate that cannot be used stops the world before any port opens.
    if (options_.playerTls && !options_.webTls.enabled())
      return Status::error("the player port cannot speak TLS without a certificate and its key");
    if (options_.playerTls && !options_.playerPort)
      return Status::error("the player port cannot speak TLS: the world has no player port");
    // The web port holds the certificate, for the line port as well: one
    // context, read once and again on each reload.
    if ((options_.webPort || options_.playerTls) && options_.webTls.enabled()) {
      if (Status s = web_.enableTls(options_.webTls); !s.isOk()) return s;
      if (options_.playerTls) players_.useTls(web_.tlsContext(), options_.webTls.handshakeTimeout);
    }
    if (Status s = openAccounts(); !s.isOk()) return s;
    hub_.hashCost = options_.hashCost;
    planCapacity();
    if (options_.playerPort) {
      if (Status s = players_.open(options_.bindAddress, *options_.playerPort); !s.isOk()) return s;
    }
    if (Status s = bots_.open(options_.botBindAddress, options_.botPort); !s.isOk()) return s;
    if (options_.webPort) {
      if (Status s = web_.open(options_.bindAddress, *options_.webPort); !s.isOk()) return s;
    }
    hub_.log("world " + core_.definition().name + " with " + std::to_string(core_.world().objects().size()) +
             " objects: " +
             (options_.playerPort ? "players on " + options_.bindAddress + ":" + std::to_string(players_.port()) +
                                        (players_.secure() ? " (TLS)" : "")
                                  : std::string("no player line port")) +
             ", bots on " + options_.botBindAddress + ":" + std::to_string(bots_.port()) +
             (options_.webPort ? ", browsers on " + std::string(web_.secure() ? "https://" : "http://") +
                                     options_.bindAddress + ":" + std::to_string(web_.port()) + "/"
                               : ""));
    hub_.log(capacity_);
    tick();
    return Status::ok();
  }

  // The store is opened before any port, so a world whose store is damaged
  // never lets a player in.
  Status openAccounts() {
    const std::string path = options_.dataDir.empty() ? ":memory:" : AccountStore::pathIn(options_.dataDir);
    if (options_.dataDir.empty()) hub_.log("no data folder: accounts made here last only while the world runs");
    std::error_code made;
    if (!options_.dataDir.empty()) {
      std::filesystem::create_directories(options_.dataDir, made);
      Result<FileLock> lock = DataDirLock::take(options_.dataDir, DataDirLock::Mode::kWorldRuns);
      if (!lock.isOk()) return lock.status();
      dataDirLock_.emplace(std::move(lock.value()));
    }
    Result<std::unique_ptr<AccountStore>> opened = AccountStore::open(path);
    if (!opened.isOk()) return opened.status();
    accounts_ = std::move(opened.value());
    Status imported = importPlayers(*accounts_, core_.definition().players, options_.hashCost,
                                    [this](const std::string& warning) { hub_.log("warning: " + warning); });
    if (!imported.isOk()) return Status::error(accounts_->path() + ": " + imported.message());
    core_.useAccounts(*accounts_);
    return overlayKeptObjects();
  }

  // The objects as the bots last left them, over the world file's.
  Status overlayKeptObjects() {
    Result<std::vector<WorldObject>> kept = ObjectChanges(*accounts_).all();
    if (!kept.isOk()) return kept.status();
    for (int32_t gone : core_.overlayKeptObjects(kept.value()))
      hub_.log("warning: object " + std::to_string(gone) + " was changed by a bot but is no longer in the world file");
    if (!kept.value().empty())
      hub_.log(std::to_string(kept.value().size()) + " objects as the bots left them (kelva-world reset-objects forgets them)");
    return Status::ok();
  }

  // Raises the limit on open files and fits the player cap to it, so the
  // world refuses a player it cannot hold instead of running out of
  // descriptors when it is busiest.
  void planCapacity() {
    DescriptorLimit fds = raiseDescriptorLimit();
    if (!fds.problem.empty()) hub_.log(fds.problem);
    const std::size_t others = options_.limits.maxBotsNotLoggedIn + core_.definition().bots.size();
    CapacityPlan plan = world::planCapacity(fds.soft, options_.maxPlayers, others);
    if (!plan.message.empty()) hub_.log(plan.message);
    hub_.guards.setCaps(options_.limits, plan.maxPlayers);
    capacity_ = "The world holds up to " + std::to_string(plan.maxPlayers) + " players (" +
                std::to_string(options_.limits.maxPlayersPerAddress) + " per address; open files allowed: " +
                std::to_string(fds.soft) + ")";
  }

  // Once a second: counts of repeated log lines, throttles gone quiet, and
  // peers that vanished.
  void tick() {
    hub_.guards.housekeeping();
    for (const auto& c : std::vector(hub_.connections.begin(), hub_.connections.end())) c->closeIfPeerGone();
    web_.closeSilentPeers();
    // A crowd that arrived and left leaves the heap full of free room that
    // the allocator keeps to itself; every ten seconds it is given back.
    if (++ticks_ % 10 == 0) ::malloc_trim(0);
    housekeeping_.expires_after(std::chrono::seconds(1));
    housekeeping_.async_wait([this](const ErrorCode& ec) {
      if (!ec && !hub_.stopped) tick();
    });
  }

  void stop() {
    if (hub_.stopped) return;
    hub_.stopped = true;
    housekeeping_.cancel();
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
  // Held while the world runs, so that reset-objects knows it does.
  std::optional<FileLock> dataDirLock_;
  // Declared before the core, which keeps a reference to it.
  std::unique_ptr<AccountStore> accounts_;
  ConnectionHub hub_;
  WorldCore core_;
  LinePort players_;
  BotPort bots_;
  WebPort web_;
  asio::steady_timer housekeeping_;
  unsigned ticks_ = 0;
  std::string capacity_;
};

WorldServer::WorldServer(asio::io_context& io, WorldDefinition world, ServerOptions options, std::ostream& log)
    : impl_(std::make_unique<Impl>(io, std::move(world), std::move(options), log)) {}

WorldServer::~WorldServer() = default;

Status WorldServer::start() { return impl_->start(); }
uint16_t WorldServer::playerPort() const { return impl_->options_.playerPort ? impl_->players_.port() : 0; }
bool WorldServer::playerSecure() const { return impl_->players_.secure(); }
uint16_t WorldServer::botPort() const { return impl_->bots_.port(); }
uint16_t WorldServer::webPort() const { return impl_->options_.webPort ? impl_->web_.port() : 0; }
const std::string& WorldServer::capacity() const { return impl_->capacity_; }
bool WorldServer::webSecure() const { return impl_->web_.secure(); }
void WorldServer::stop() { impl_->stop(); }

Status WorldServer::reloadTls() {
  Status s = impl_->web_.reloadTls();
  const std::string ports = impl_->players_.secure() ? "web and player ports" : "web port";
  if (s.isOk() && impl_->players_.secure())
    impl_->players_.useTls(impl_->web_.tlsContext(), impl_->options_.webTls.handshakeTimeout);
  impl_->hub_.log(s.isOk() ? ports + ": certificate and key read again; new connections get them"
                           : ports + ": the certificate was not changed: " + s.message());
  return s;
}

namespace {
// Three milliseconds: a 2,000-player world then wakes at most about 330
// times a second, where it woke once per line before, and its CPU for a
// spread-out crowd fell by about a quarter (docs/performance.md); a reply waits
// at most 3 ms more at each pass through the world.
constexpr std::chrono::microseconds kTurn{3000};
}  // namespace

void runInTurns(asio::io_context& io) {
  while (!io.stopped()) {
    // Blocks until something is ready; 0 when the loop has no work left.
    if (io.run_one() == 0) return;
    const auto began = std::chrono::steady_clock::now();
    io.poll();
    std::this_thread::sleep_until(began + kTurn);
  }
}

}  // namespace kelva::world
