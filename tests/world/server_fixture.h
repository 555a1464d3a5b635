// Runs a world server on this machine's loopback, on free ports, in a thread
// of its own, for tests that talk to it over real sockets.
#pragma once

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <filesystem>
#include <memory>
#include <future>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "net/bot_protocol.h"
#include "world/enter_world.h"
#include "world/line_client.h"
#include "world/ports/world_server.h"

namespace kelva::testing {

// A log that the server's thread writes and the test reads.
class SharedLog : public std::streambuf {
 public:
  std::string text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  int overflow(int c) override {
    if (c != EOF) {
      std::lock_guard<std::mutex> lock(mutex_);
      text_.push_back(static_cast<char>(c));
    }
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

inline world::WorldDefinition demoDefinition() {
  world::WorldDefinition def;
  def.name = "Testworld";
  def.bots.push_back({1, "botpw"});
  def.players.push_back({"Ann", "annpw", ""});
  def.objects.push_back({1, "troll.rwx", "A troll", "", 1200, 0, 300, 0, 0, {}});
  def.objects.push_back({2, "shroom.rwx", "A magic shroom", "", -500, 0, 800, 0, 0, {}});
  def.objects.push_back({3, "far.rwx", "Far away", "", 900000, 0, 0, 0, 0, {}});
  return def;
}

class ServerRunner {
 public:
  static world::ServerOptions freePorts() {
    world::ServerOptions options;
    options.playerPort = 0;
    options.botPort = 0;
    options.webPort = 0;
    options.hashCost = auth::HashCost::kMinimum;
    return options;
  }
  // Free ports, and the world's store in `folder`/data.
  static world::ServerOptions freePortsIn(const std::filesystem::path& folder) {
    world::ServerOptions options = freePorts();
    options.dataDir = (folder / "data").string();
    return options;
  }

  // Ports of 0 in `options` (the default here) take any free port; they
  // listen on loopback unless `options` names another address.
  explicit ServerRunner(world::WorldDefinition def = demoDefinition(), world::ServerOptions options = freePorts()) {
    server_ = std::make_unique<world::WorldServer>(io_, std::move(def), options, logStream_);
    Status s = server_->start();
    started_ = s.isOk();
    if (started_) thread_ = std::thread([this] { io_.run(); });
  }
  ~ServerRunner() { stop(); }

  bool started() const { return started_; }
  uint16_t playerPort() const { return server_->playerPort(); }
  uint16_t botPort() const { return server_->botPort(); }
  uint16_t webPort() const { return server_->webPort(); }
  std::string log() { return logBuffer_.text(); }
  // What SIGHUP does in kelva-world, on the server's thread; "" when the
  // certificate was read again, else why not.
  std::string reloadTls() {
    std::promise<std::string> done;
    boost::asio::post(io_, [&] {
      Status s = server_->reloadTls();
      done.set_value(s.isOk() ? "" : s.message());
    });
    return done.get_future().get();
  }

  void stop() {
    if (!thread_.joinable()) return;
    boost::asio::post(io_, [this] { server_->stop(); });
    thread_.join();
  }

 private:
  SharedLog logBuffer_;
  std::ostream logStream_{&logBuffer_};
  boost::asio::io_context io_;
  std::unique_ptr<world::WorldServer> server_;
  std::thread thread_;
  bool started_ = false;
};

// The StartBot line a bot sends to log in to the fixture's world.
inline std::string startBotLine(const std::string& password = "botpw", int citizen = 1,
                                const std::string& world = "Testworld") {
  net::BotCall call;
  call.kind = net::CallKind::kStartBot;
  call.id = 1;
  call.citizen = citizen;
  call.password = password;
  call.botName = "Kelvabot";
  call.application = "Kelvabot";
  call.world = world;
  return net::encodeCall(call);
}

// The next reply on a bot connection; null when none comes in time.
inline nlohmann::json nextReply(LineClient& bot) {
  auto line = bot.waitForContaining("\"reply\"");
  return line ? nlohmann::json::parse(*line) : nlohmann::json();
}

// Logs a bot in and returns the StartBot reply.
inline nlohmann::json logInBot(LineClient& bot, const std::string& password = "botpw", int citizen = 1) {
  bot.send(startBotLine(password, citizen));
  return nextReply(bot);
}

}  // namespace kelva::testing
