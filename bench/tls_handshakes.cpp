// How many TLS handshakes a second the world takes on its web port, on one
// CPU: kelva-world runs under `taskset -c CPU` with a certificate made for
// the run, and a few clients on loopback connect, shake hands (a full
// handshake every time: no session is resumed) and hang up, over and over.
// Not a test: run by hand (docs/performance.md has the command and the
// figures).
//
//   kelva_tls_handshakes [--seconds S] [--clients N] [--cpu C] [--world PATH_TO_KELVA_WORLD]
//
// At most 64 clients and 60 seconds; the run stops by itself.
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/load_support.h"
#include "world/child_process.h"
#include "support/test_certificate.h"

namespace {

namespace asio = boost::asio;
namespace ssl = asio::ssl;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using kelva::testing::ChildProcess;

struct Counts {
  uint64_t done = 0;
  uint64_t failed = 0;
};

// One client: connect, handshake, hang up, again, until `until`.
class Shaker : public std::enable_shared_from_this<Shaker> {
 public:
  Shaker(asio::io_context& io, ssl::context& trust, uint16_t port, Clock::time_point until, Counts& counts)
      : io_(io), trust_(trust), at_(asio::ip::make_address("127.0.0.1"), port), until_(until), counts_(counts) {}

  void next() {
    if (Clock::now() >= until_) return;
    stream_ = std::make_unique<ssl::stream<tcp::socket>>(io_, trust_);
    stream_->next_layer().async_connect(at_, [self = shared_from_this()](boost::system::error_code ec) {
      if (ec) return self->failed();
      self->stream_->async_handshake(ssl::stream_base::client, [self](boost::system::error_code e) {
        if (e) return self->failed();
        ++self->counts_.done;
        boost::system::error_code ignored;
        self->stream_->next_layer().close(ignored);
        self->next();
      });
    });
  }

 private:
  void failed() {
    if (++counts_.failed <= 5) std::cerr << "a handshake failed\n";
    next();
  }

  asio::io_context& io_;
  ssl::context& trust_;
  tcp::endpoint at_;
  Clock::time_point until_;
  Counts& counts_;
  std::unique_ptr<ssl::stream<tcp::socket>> stream_;
};

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  int clients = 8;
  int cpu = 0;
  std::string worldPath = KELVA_WORLD_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    else if (a == "--clients") clients = std::atoi(argv[i + 1]);
    else if (a == "--cpu") cpu = std::atoi(argv[i + 1]);
    else if (a == "--world") worldPath = argv[i + 1];
    else {
      std::cerr << "unknown option " << a << "\n";
      return 2;
    }
  }
  seconds = std::clamp(seconds, 1, 60);
  clients = std::clamp(clients, 1, 64);

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_tls_handshakes_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "world.json") << R"({"name": "HandshakeWorld", "bots": [{"citizen": 1, "password": "pw"}]})";
  if (!kelva::testing::makeCertificate(dir, "world")) {
    std::cerr << "the openssl command could not make the run's certificate\n";
    return 1;
  }
  ChildProcess server({"/usr/bin/taskset", "-c", std::to_string(cpu), worldPath, (dir / "world.json").string(), "--player-port",
                       "0", "--bot-port", "0", "--web-port", "0", "--max-per-address", "0", "--max-logging-in", "0,0",
                       "--tls-cert", (dir / "world.pem").string(), "--tls-key", (dir / "world.key").string()},
                      (dir / "world.out").string(), (dir / "world.err").string());
  if (!server.waitForOutput("Bots log in on:", std::chrono::seconds(10))) {
    std::cerr << "the world server did not start (is taskset there?):\n" << server.errorText();
    fs::remove_all(dir);
    return 1;
  }
  const uint16_t webPort = kelva::testing::portAfter(server.outputText(), "Players in a browser open:");

  asio::io_context io;
  auto trust = kelva::testing::trusting(dir / "world.pem");
  // No session cache on the client side: every handshake is a full one.
  SSL_CTX_set_session_cache_mode(trust->native_handle(), SSL_SESS_CACHE_OFF);
  Counts counts;
  const Clock::time_point start = Clock::now();
  const Clock::time_point until = start + std::chrono::seconds(seconds);
  const double cpu0 = kelva::bench::cpuSeconds(server.pid());
  const double load0 = kelva::bench::loadAverage();
  std::vector<std::shared_ptr<Shaker>> shakers;
  for (int i = 0; i < clients; ++i) {
    shakers.push_back(std::make_shared<Shaker>(io, *trust, webPort, until, counts));
    shakers.back()->next();
  }
  io.run_until(until + std::chrono::seconds(5));
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  const double worldCpu = kelva::bench::cpuSeconds(server.pid()) - cpu0;
  std::printf("TLS handshakes on the web port, world on CPU %d, %d clients, %d s\n", cpu, clients, seconds);
  std::printf("handshakes %llu (%.0f a second), failed %llu\n", static_cast<unsigned long long>(counts.done),
              counts.done / took, static_cast<unsigned long long>(counts.failed));
  std::printf("world CPU %.0f %% of one core, %.0f handshakes per CPU second; load average %.2f at start\n",
              100.0 * worldCpu / took, worldCpu > 0 ? counts.done / worldCpu : 0.0, load0);
  fs::remove_all(dir);
  return counts.failed == 0 ? 0 : 1;
}
