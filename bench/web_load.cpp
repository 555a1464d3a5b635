// The load run of players in browsers: kelva-world and kelvabot as separate
// processes on loopback, and N WebSocket players on the world's web port
// speaking the page's messages. Not a test: run by hand (docs/performance.md
// has the command and the figures).
//
//   kelva_web_load [--players N] [--seconds S] [--world PATH_TO_KELVA_WORLD] [--tls]
//
// With --tls the world serves wss:// with a certificate made for the run
// (openssl, in the run's temporary folder) and the players speak TLS.
//
// Every player logs in as a guest, stands at the entry point and sends
// /stats once a second (spread evenly over the second); the run counts the
// bot's whispered answers and times each from the chat message to its
// first whisper. At most 1,000 players and 120 seconds; the run stops by
// itself a minute after its last message at the latest.
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "bench/load_support.h"
#include "support/test_certificate.h"
#include "world/child_process.h"

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using kelva::bench::cpuSeconds;
using kelva::bench::Histogram;
using kelva::bench::loadAverage;
using kelva::testing::ChildProcess;

constexpr std::string_view kNoCharacter = "You do not have a character.";

struct Totals {
  int entered = 0;
  uint64_t sent = 0;
  uint64_t replies = 0;
  uint64_t disconnected = 0;
  Histogram latency;
};

using ClearSocket = websocket::stream<beast::tcp_stream>;
using TlsSocket = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

// One player in a browser, as far as the world can tell: over ws:// or,
// with a client TLS context, over wss://.
template <typename Socket>
class WebPlayer : public std::enable_shared_from_this<WebPlayer<Socket>> {
 public:
  template <typename... Context>
  WebPlayer(asio::io_context& io, uint16_t port, std::string name, Totals& totals, Context&... tls)
      : ws_(io, tls...), timer_(io), port_(port), name_(std::move(name)), totals_(totals) {}

  void start() {
    tcp::endpoint at(asio::ip::make_address("127.0.0.1"), port_);
    beast::get_lowest_layer(ws_).async_connect(at, [self = this->shared_from_this()](beast::error_code ec) {
      if (ec) return self->fail("connect: " + ec.message());
      if constexpr (std::is_same_v<Socket, TlsSocket>) {
        self->ws_.next_layer().async_handshake(asio::ssl::stream_base::client, [self](beast::error_code ec1) {
          if (ec1) return self->fail("TLS handshake: " + ec1.message());
          self->upgrade();
        });
      } else {
        self->upgrade();
      }
    });
  }

  // Sends /stats once a second from `first` until `until`.
  void play(Clock::time_point first, Clock::time_point until) {
    until_ = until;
    timer_.expires_at(first);
    timer_.async_wait([self = this->shared_from_this()](beast::error_code ec) {
      if (!ec) self->tick();
    });
  }

  void upgrade() {
    ws_.async_handshake("127.0.0.1", "/ws", [self = this->shared_from_this()](beast::error_code ec) {
      if (ec) return self->fail("handshake: " + ec.message());
      self->send(nlohmann::json{{"type", "login"}, {"name", self->name_}}.dump());
      self->read();
    });
  }

  bool entered() const { return entered_; }
  bool waiting() const { return !waiting_.empty(); }
  std::size_t unanswered() const { return waiting_.size(); }
  void stop() {
    closed_ = true;  // the run is over: no failure
    timer_.cancel();
    beast::error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
  }

 private:
  void tick() {
    if (Clock::now() >= until_ || closed_) return;
    waiting_.push_back(Clock::now());
    ++totals_.sent;
    send(R"({"type":"chat","text":"/stats"})");
    timer_.expires_at(timer_.expiry() + std::chrono::seconds(1));
    timer_.async_wait([self = this->shared_from_this()](beast::error_code ec) {
      if (!ec) self->tick();
    });
  }

  void read() {
    ws_.async_read(buffer_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->fail("read: " + ec.message());
      // A frame carries one turn's messages, one per line.
      const std::string frame = beast::buffers_to_string(self->buffer_.data());
      for (std::size_t at = 0; at <= frame.size();) {
        std::size_t end = std::min(frame.find('\n', at), frame.size());
        self->received(frame.substr(at, end - at));
        at = end + 1;
      }
      self->buffer_.consume(self->buffer_.size());
      self->read();
    });
  }

  void received(const std::string& text) {
    nlohmann::json m = nlohmann::json::parse(text, nullptr, false);
    if (!m.is_object()) return;
    const std::string type = m.value("type", "");
    if (type == "entered" && !entered_) {
      entered_ = true;
      ++totals_.entered;
    } else if (type == "whisper" && !waiting_.empty() &&
               (m.value("text", "").rfind("stats: ", 0) == 0 || m.value("text", "") == kNoCharacter)) {
      // The first of the two lines /stats answers with, or the answer to a
      // player whose character lies past roster slot 100 (the game looks
      // players up in slots 0 to 100 only) that there is none.
      ++totals_.replies;
      totals_.latency.add(std::chrono::duration<double, std::milli>(Clock::now() - waiting_.front()).count());
      waiting_.pop_front();
    }
  }

  void send(std::string message) {
    outbox_.push_back(std::move(message));
    if (outbox_.size() == 1) writeNext();
  }

  void writeNext() {
    ws_.async_write(asio::buffer(outbox_.front()), [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return self->fail("write: " + ec.message());
      self->outbox_.pop_front();
      if (!self->outbox_.empty()) self->writeNext();
    });
  }

  void fail(const std::string& what) {
    if (closed_) return;
    closed_ = true;
    ++totals_.disconnected;
    if (totals_.disconnected <= 5) std::cerr << name_ << ": " << what << "\n";
  }

  Socket ws_;
  asio::steady_timer timer_;
  beast::flat_buffer buffer_;
  uint16_t port_;
  std::string name_;
  Totals& totals_;
  std::deque<std::string> outbox_;
  std::deque<Clock::time_point> waiting_;
  Clock::time_point until_;
  bool entered_ = false;
  bool closed_ = false;
};

}  // namespace

// The measured run: the crowd on `webPort`, against the world and the bot
// already started; the exit status of the run.
template <typename Socket, typename... Context>
int measure(asio::io_context& io, uint16_t webPort, int players, int seconds, ChildProcess& server, ChildProcess& bot,
            const std::filesystem::path& dir, Context&... tls) {
  namespace fs = std::filesystem;
  // The bot makes characters only once it has started up: a first player
  // asks /stats until it is answered, and only then the crowd comes.
  Totals probeTotals;
  auto probe = std::make_shared<WebPlayer<Socket>>(io, webPort, "probe", probeTotals, tls...);
  probe->start();
  const Clock::time_point probeDeadline = Clock::now() + std::chrono::seconds(30);
  probe->play(Clock::now() + std::chrono::milliseconds(500), probeDeadline);
  while (probeTotals.replies == 0 && Clock::now() < probeDeadline) io.run_for(std::chrono::milliseconds(50));
  probe->stop();
  if (probeTotals.replies == 0) {
    std::cerr << "the bot never answered /stats:\n" << bot.errorText();
    return 1;
  }

  Totals totals;
  std::vector<std::shared_ptr<WebPlayer<Socket>>> crowd;
  for (int i = 0; i < players; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "w%04d", i);
    crowd.push_back(std::make_shared<WebPlayer<Socket>>(io, webPort, name, totals, tls...));
    crowd.back()->start();
  }

  // Everyone in (within a minute), then a moment for the bot to make the new
  // characters, then the measured part.
  const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
  while (totals.entered < players && Clock::now() < giveUp) io.run_for(std::chrono::milliseconds(50));
  if (totals.entered < players) {
    std::cerr << "only " << totals.entered << " of " << players << " players got in\n";
    return 1;
  }
  io.run_for(std::chrono::seconds(2));
  const Clock::time_point start = Clock::now();
  const Clock::time_point stopSending = start + std::chrono::seconds(seconds);
  for (std::size_t i = 0; i < crowd.size(); ++i)
    crowd[i]->play(start + std::chrono::microseconds(1000000 * i / crowd.size()), stopSending);
  const double worldCpu0 = cpuSeconds(server.pid());
  const double botCpu0 = cpuSeconds(bot.pid());
  const double load0 = loadAverage();
  io.run_until(stopSending);
  const double worldCpu = cpuSeconds(server.pid()) - worldCpu0;
  const double botCpu = cpuSeconds(bot.pid()) - botCpu0;
  // The last answers: at most 5 s more.
  const Clock::time_point drain = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < drain &&
         std::any_of(crowd.begin(), crowd.end(), [](const auto& p) { return p->waiting(); }))
    io.run_for(std::chrono::milliseconds(20));
  for (auto& p : crowd) p->stop();
  io.run_for(std::chrono::milliseconds(100));

  const uint64_t lost = totals.sent - totals.replies;
  const auto shortchanged =
      std::count_if(crowd.begin(), crowd.end(), [](const auto& p) { return p->unanswered() > 0; });
  std::printf("web players over %s: %d, %d s, /stats once a second each\n",
              std::is_same_v<Socket, TlsSocket> ? "wss://" : "ws://", players, seconds);
  std::printf("sent %llu, answered %llu, lost %llu, disconnected %llu\n",
              static_cast<unsigned long long>(totals.sent), static_cast<unsigned long long>(totals.replies),
              static_cast<unsigned long long>(lost), static_cast<unsigned long long>(totals.disconnected));
  if (lost > 0) std::printf("players with an unanswered /stats: %ld\n", static_cast<long>(shortchanged));
  std::printf("chat message to whisper: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
              totals.latency.percentile(0.5), totals.latency.percentile(0.99), totals.latency.percentile(1.0));
  std::printf("world CPU %.0f %%, bot CPU %.0f %%, load average %.2f at start\n", 100.0 * worldCpu / seconds,
              100.0 * botCpu / seconds, load0);
  if (lost == 0 && totals.disconnected == 0) fs::remove_all(dir);
  else std::printf("the processes' output is kept in %s\n", dir.c_str());
  return lost == 0 && totals.disconnected == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  int players = 200;
  int seconds = 30;
  std::string worldPath = KELVA_WORLD_PATH;
  bool tls = false;
  for (int i = 1; i < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--tls") {
      tls = true;
      --i;
    } else if (i + 1 >= argc) {
      std::cerr << a << " needs a value\n";
      return 2;
    } else if (a == "--players") players = std::atoi(argv[i + 1]);
    else if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    else if (a == "--world") worldPath = argv[i + 1];
    else {
      std::cerr << "unknown option " << a << "\n";
      return 2;
    }
  }
  players = std::clamp(players, 1, 1000);
  seconds = std::clamp(seconds, 1, 120);

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_web_load_" + std::to_string(::getpid()));
  fs::create_directories(dir / "data");
  std::ofstream(dir / "world.json") << R"({"name": "LoadWorld", "bots": [{"citizen": 1, "password": "pw"}]})";

  std::vector<std::string> worldArgs = {worldPath, (dir / "world.json").string(), "--player-port", "0", "--bot-port", "0",
                       "--web-port", "0", "--max-players", std::to_string(players + 10), "--max-per-address", "0", "--max-logging-in", "0,0"};
  if (tls) {
    if (!kelva::testing::makeCertificate(dir, "world")) {
      std::cerr << "the openssl command could not make the run's certificate\n";
      return 1;
    }
    for (const char* file : {"--tls-cert", "world.pem", "--tls-key", "world.key"})
      worldArgs.push_back(file[0] == '-' ? std::string(file) : (dir / file).string());
  }
  ChildProcess server(worldArgs, (dir / "world.out").string(), (dir / "world.err").string());
  if (!server.waitForOutput("Bots log in on:", std::chrono::seconds(10))) {
    std::cerr << "the world server did not start:\n" << server.errorText();
    return 1;
  }
  const uint16_t webPort = kelva::testing::portAfter(server.outputText(), "Players in a browser open:");
  const uint16_t botPort = kelva::testing::portAfter(server.outputText(), "Bots log in on:");
  ChildProcess bot({KELVABOT_PATH, "--headless", "--console-port", "0", "--world", "127.0.0.1:" + std::to_string(botPort), "--data-dir",
                    (dir / "data").string()},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  if (!kelva::bench::logInLoadBot(bot, server)) return 1;

  asio::io_context io;
  if (!tls) return measure<ClearSocket>(io, webPort, players, seconds, server, bot, dir);
  asio::ssl::context trust(asio::ssl::context::tls_client);
  trust.load_verify_file((dir / "world.pem").string());
  trust.set_verify_mode(asio::ssl::verify_peer);
  return measure<TlsSocket>(io, webPort, players, seconds, server, bot, dir, trust);
}
