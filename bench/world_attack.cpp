// The hostile-client run: repeats, against a world server of this build, the
// attacks a world open to strangers must hold against, and prints a figure
// for each. Not a test: every attack is bounded in clients and time, runs on
// loopback only (clients come from 127.0.0.x addresses) and stops by itself.
// docs/security.md records the figures and their goals.
//
//   kelva_world_attack [--attack NAME]... [--seconds S] [--keepalive I,N,P]
//
// NAME is guess, guess50, botguess, memory, descriptors, ghost, lockout,
// silentfill, symlink, head, origin, browsers or botcrlf (default: all of
// them, in that order); S is how long each guessing attack runs (default
// 60, at most 600) and how long the lockout goes on; the ghost run gives the
// world --keepalive I,N,P (default 5,2,3).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "world/child_process.h"
#include "world/line_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;
using kelva::testing::ChildProcess;
namespace fs = std::filesystem;

const char* const kWorldFile = R"({"name": "AttackWorld",
  "bots": [{"citizen": 1, "password": "botpw"}],
  "players": [{"name": "Kaya", "password": "kaya"}]})";

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// One client from a chosen loopback address, read line by line.
class Client : public kelva::testing::LineClient {
 public:
  Client(uint16_t port, const std::string& from) : LineClient(port, from.c_str()) {}

  bool ok() const { return open(); }
  std::optional<std::string> line(milliseconds timeout) { return readLine(timeout); }
  // The first line holding one of `texts`.
  std::optional<std::string> waitFor(const std::vector<std::string>& texts, milliseconds timeout) {
    return LineClient::waitFor(
        [&](const std::string& l) {
          return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return l.find(t) != l.npos; });
        },
        timeout);
  }
};

// The seconds in "... try again in N seconds ..." (or "checked in N seconds").
std::optional<int> secondsIn(const std::string& text) {
  static const std::regex kSeconds(R"(in (\d+) seconds?)");
  std::smatch m;
  if (!std::regex_search(text, m, kSeconds)) return std::nullopt;
  return std::stoi(m[1]);
}

// A world server of this build with its own world file, watched for its
// memory, its processor time and its log.
class World {
 public:
  explicit World(const fs::path& dir, std::vector<std::string> options = {}) : dir_(dir) {
    fs::create_directories(dir);
    std::ofstream(dir / "world.json") << kWorldFile;
    std::vector<std::string> argv{KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", "0",
                                  "--bot-port", "0", "--web-port", "0"};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(argv, (dir / "world.out").string(), (dir / "world.err").string());
    if (!process_->waitForOutput("Bots log in on:", seconds(10))) return;
    playerPort_ = kelva::testing::portAfter(process_->outputText(), "Players connect with:");
    botPort_ = kelva::testing::portAfter(process_->outputText(), "Bots log in on:");
    webPort_ = kelva::testing::portAfter(process_->outputText(), "Players in a browser open:");
    watcher_ = std::thread([this] { watch(); });
  }
  ~World() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    process_->signal(SIGTERM);
    process_->waitExit(seconds(5));
  }

  bool started() const { return playerPort_ != 0; }
  uint16_t playerPort() const { return playerPort_; }
  uint16_t botPort() const { return botPort_; }
  uint16_t webPort() const { return webPort_; }
  pid_t pid() const { return process_->pid(); }
  std::string log() const { return process_->errorText(); }
  std::string startText() const { return process_->outputText(); }

  long rssKb() const {
    std::ifstream status("/proc/" + std::to_string(pid()) + "/status");
    for (std::string l; std::getline(status, l);)
      if (l.rfind("VmRSS:", 0) == 0) return std::atol(l.c_str() + 6);
    return 0;
  }
  long peakRssKb() const { return peakRss_; }
  void resetPeak() { peakRss_ = rssKb(); }
  // Processor time used so far, user and system, in seconds.
  double cpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid()) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
      if (i == 14) utime = std::stoull(f);
      if (i == 15) stime = std::stoull(f);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }
  // The most times one log line appeared within one second of the run.
  int worstRepeat() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return worstRepeat_;
  }
  std::string worstLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return worstLine_;
  }
  std::size_t logLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logLines_;
  }

 private:
  // Samples memory and reads new log lines every 50 ms; lines read in the
  // same second are counted together.
  void watch() {
    std::ifstream err;
    std::string partial;
    std::map<std::string, int> thisSecond;
    Clock::time_point secondStart = Clock::now();
    while (!stop_) {
      peakRss_ = std::max(peakRss_.load(), rssKb());
      if (!err.is_open()) err.open(dir_ / "world.err", std::ios::binary);
      err.clear();
      char chunk[65536];
      while (err.read(chunk, sizeof chunk) || err.gcount() > 0) {
        partial.append(chunk, static_cast<std::size_t>(err.gcount()));
        if (err.eof()) break;
      }
      if (Clock::now() - secondStart >= seconds(1)) {
        thisSecond.clear();
        secondStart = Clock::now();
      }
      for (std::size_t nl; (nl = partial.find('\n')) != std::string::npos;) {
        std::string l = partial.substr(0, nl);
        partial.erase(0, nl + 1);
        int n = ++thisSecond[l];
        std::lock_guard<std::mutex> lock(mutex_);
        ++logLines_;
        if (n > worstRepeat_) worstRepeat_ = n, worstLine_ = l;
      }
      std::this_thread::sleep_for(milliseconds(50));
    }
  }

  fs::path dir_;
  std::unique_ptr<ChildProcess> process_;
  uint16_t playerPort_ = 0;
  uint16_t botPort_ = 0;
  uint16_t webPort_ = 0;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
  std::atomic<long> peakRss_{0};
  mutable std::mutex mutex_;
  int worstRepeat_ = 0;
  std::string worstLine_;
  std::size_t logLines_ = 0;
};

void reportLog(const World& world) {
  std::printf("  log: %zu lines; the most one line appeared in one second: %d (%s)\n", world.logLines(),
              world.worstRepeat(), world.worstLine().substr(0, 100).c_str());
}

struct GuessCount {
  int checked = 0;       // wrong passwords the world checked and refused
  int throttled = 0;     // attempts refused unchecked, told to wait
  int connections = 0;
  std::vector<double> at;  // seconds into the run of each checked guess
};

// Guesses Kaya's password on the player port from `from` for `span`, as fast
// as the world allows: a guesser told to wait comes back when told.
GuessCount guessPlayer(uint16_t port, const std::string& from, Clock::time_point start, Clock::time_point end) {
  GuessCount count;
  int guess = 0;
  while (Clock::now() < end) {
    Client c(port, from);
    ++count.connections;
    if (!c.ok() || !c.waitFor({"What is your name?"}, seconds(5))) {
      std::this_thread::sleep_for(milliseconds(100));
      continue;
    }
    while (c.ok() && Clock::now() < end) {
      c.send("Kaya");
      auto asked = c.waitFor({"Password?", "try again in", "Goodbye"}, seconds(5));
      if (!asked) break;
      if (auto wait = secondsIn(*asked)) {
        ++count.throttled;
        std::this_thread::sleep_until(std::min(end, Clock::now() + seconds(*wait)));
        continue;
      }
      if (asked->find("Password?") == std::string::npos) break;
      c.send("guess" + std::to_string(++guess));
      auto told = c.waitFor({"Wrong password", "try again in", "Goodbye", "Type .help"}, seconds(20));
      if (!told) break;
      if (told->find("Wrong password") != std::string::npos) {
        ++count.checked;
        count.at.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (told->find("Goodbye") != std::string::npos) break;
      } else if (auto wait = secondsIn(*told)) {
        ++count.throttled;
        std::this_thread::sleep_until(std::min(end, Clock::now() + seconds(*wait)));
      } else {
        break;
      }
    }
  }
  return count;
}

void printGuessRate(const char* what, const std::vector<double>& at, int throttled, int connections, int span) {
  std::printf("  %s: %zu guesses checked in %d s (%.1f a minute), %d attempts told to wait, %d connections\n", what,
              at.size(), span, static_cast<double>(at.size()) * 60.0 / span, throttled, connections);
  // After the first few: the rate the throttle holds a guesser to once its
  // free guesses are spent.
  const double settled = 10.0;
  auto later = std::count_if(at.begin(), at.end(), [&](double t) { return t >= settled; });
  std::printf("  %s: after the first %.0f s, %ld guesses in %.0f s (%.1f a minute)\n", what, settled,
              static_cast<long>(later), span - settled, static_cast<double>(later) * 60.0 / (span - settled));
}

void attackGuess(const fs::path& dir, int span) {
  std::printf("== guess: one address (127.0.0.2) guesses a player's password\n");
  World world(dir / "guess");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  auto start = Clock::now();
  GuessCount c = guessPlayer(world.playerPort(), "127.0.0.2", start, start + seconds(span));
  printGuessRate("one address", c.at, c.throttled, c.connections, span);
  reportLog(world);
}

void attackGuess50(const fs::path& dir, int span) {
  std::printf("== guess50: 50 addresses (127.0.0.1-50) guess one player's password at once\n");
  World world(dir / "guess50");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  auto start = Clock::now();
  std::vector<GuessCount> counts(50);
  std::vector<std::thread> threads;
  for (int i = 0; i < 50; ++i)
    threads.emplace_back([&, i] {
      counts[static_cast<std::size_t>(i)] =
          guessPlayer(world.playerPort(), "127.0.0." + std::to_string(i + 1), start, start + seconds(span));
    });
  for (std::thread& t : threads) t.join();
  std::vector<double> at;
  int throttled = 0, connections = 0;
  for (const GuessCount& c : counts) {
    at.insert(at.end(), c.at.begin(), c.at.end());
    throttled += c.throttled;
    connections += c.connections;
  }
  printGuessRate("50 addresses", at, throttled, connections, span);
  // The owner, from an address that never guessed, while the guessing goes on.
  std::atomic<bool> stop{false};
  std::vector<std::thread> guessers;
  for (int i = 0; i < 50; ++i)
    guessers.emplace_back([&, i] {
      while (!stop) guessPlayer(world.playerPort(), "127.0.0." + std::to_string(i + 1), start,
                                Clock::now() + milliseconds(500));
    });
  std::this_thread::sleep_for(seconds(2));
  auto asked = Clock::now();
  Client owner(world.playerPort(), "127.0.0.200");
  bool in = owner.waitFor({"What is your name?"}, seconds(5)).has_value();
  owner.send("Kaya");
  in = in && owner.waitFor({"Password?"}, seconds(5)).has_value();
  owner.send("kaya");
  in = in && owner.waitFor({"Type .help"}, seconds(30)).has_value();
  stop = true;
  for (std::thread& t : guessers) t.join();
  std::printf("  the owner, from a fresh address during the guessing: %s after %.1f s\n", in ? "in" : "NOT in",
              secondsSince(asked));
  reportLog(world);
}

std::string startBot(const std::string& password) {
  return R"({"call":"StartBot","id":1,"citizen":1,"password":")" + password +
         R"(","botName":"Guesser","application":"x","world":"AttackWorld",)"
         R"("x":0,"y":0,"z":0,"reserved1":0,"reserved2":0})";
}

void attackBotGuess(const fs::path& dir, int span) {
  std::printf("== botguess: one address (127.0.0.3) guesses a bot's privilege password with StartBot\n");
  World world(dir / "botguess");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  auto start = Clock::now();
  auto end = start + seconds(span);
  std::vector<double> at;
  int throttled = 0, connections = 0, guess = 0;
  std::optional<Client> c;
  while (Clock::now() < end) {
    if (!c || !c->ok()) {
      c.emplace(world.botPort(), "127.0.0.3");
      ++connections;
      if (!c->ok()) {
        std::this_thread::sleep_for(milliseconds(100));
        continue;
      }
    }
    c->send(startBot("guess" + std::to_string(++guess)));
    std::optional<int> wait;
    std::optional<std::string> reply;
    while (auto l = c->line(seconds(20))) {
      if (l->find("\"error\"") != std::string::npos && secondsIn(*l)) wait = secondsIn(*l);
      if (l->find("\"reply\"") != std::string::npos) {
        reply = l;
        break;
      }
    }
    if (!reply) continue;  // closed: the log-in deadline, or the world refused the connection
    if (reply->find("\"rc\":1") != std::string::npos) {
      at.push_back(secondsSince(start));
    } else if (wait) {
      ++throttled;
      std::this_thread::sleep_until(std::min(end, Clock::now() + seconds(*wait)));
    }
  }
  printGuessRate("one address, bot port", at, throttled, connections, span);
  reportLog(world);
}

void attackMemory(const fs::path& dir) {
  std::printf("== memory: 100 bot-port clients that send SectorFromCell and never read, 20 s\n");
  World world(dir / "memory");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::this_thread::sleep_for(milliseconds(300));
  long before = world.rssKb();
  world.resetPeak();
  std::string calls;
  for (int i = 0; i < 200; ++i) calls += R"({"call":"SectorFromCell","id":7,"cell":12345})" "\n";
  auto end = Clock::now() + seconds(20);
  std::vector<std::unique_ptr<Client>> clients(100);
  uint64_t connections = 0, refusedOrDropped = 0, bytesSent = 0;
  while (Clock::now() < end) {
    for (std::size_t i = 0; i < clients.size(); ++i) {
      auto& c = clients[i];
      if (c && !c->ok()) c.reset(), ++refusedOrDropped;
      if (!c) {
        // Each from its own address, so only the caps on all of them count.
        c = std::make_unique<Client>(world.botPort(), "127.0.1." + std::to_string(i + 1));
        ++connections;
        if (c->fd() >= 0) ::fcntl(c->fd(), F_SETFL, O_NONBLOCK);
      }
      if (c->fd() < 0) continue;
      ssize_t n = ::send(c->fd(), calls.data(), calls.size(), MSG_NOSIGNAL);
      if (n > 0) bytesSent += static_cast<uint64_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) c.reset(), ++refusedOrDropped;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
  long peak = world.peakRssKb();
  clients.clear();
  std::printf("  world RSS: %.1f MB before, peak %.1f MB under the attack (%llu connections made, %llu ended by"
              " the world, %.1f MB of calls sent)\n",
              before / 1024.0, peak / 1024.0, static_cast<unsigned long long>(connections),
              static_cast<unsigned long long>(refusedOrDropped), bytesSent / 1048576.0);
  reportLog(world);
}

void attackDescriptors(const fs::path& dir) {
  std::printf("== descriptors: the world is held to 1024 open files and filled with connections\n");
  World world(dir / "descriptors", {"--max-players", "5000", "--max-per-address", "0", "--max-logging-in", "0,0"});
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  // Held to Debian's usual limit after it started, so the world's own plan
  // does not stop the flood first: this is descriptors running out for real.
  rlimit low{1024, 1024};
  if (::prlimit(world.pid(), RLIMIT_NOFILE, &low, nullptr) != 0)
    return void(std::printf("  cannot lower the world's limit on open files: %s\n", std::strerror(errno)));
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 1100; ++i) {
    auto c = std::make_unique<Client>(world.playerPort(), "127.0.0." + std::to_string(1 + i % 200));
    bool welcomed = c->ok() && c->waitFor({"What is your name?"}, milliseconds(1500));
    clients.push_back(std::move(c));
    if (!welcomed) break;
  }
  std::printf("  %zu connections made before the world could take no more\n", clients.size() - 1);
  // Five seconds out of descriptors, with 20 more clients knocking.
  auto acceptLines = [&] {
    std::string log = world.log();
    std::size_t n = 0;
    const std::string failed = "accepting a player connection failed";
    for (std::size_t at = 0; (at = log.find(failed, at)) != std::string::npos; ++at) ++n;
    return n;
  };
  double cpuBefore = world.cpuSeconds();
  std::size_t linesBefore = acceptLines();
  auto exhaustedAt = Clock::now();
  for (int i = 0; i < 20; ++i)
    clients.push_back(std::make_unique<Client>(world.playerPort(), "127.0.0." + std::to_string(201 + i)));
  std::this_thread::sleep_for(seconds(5));
  double busy = (world.cpuSeconds() - cpuBefore) / secondsSince(exhaustedAt);
  std::printf("  while out of descriptors: world CPU %.1f %% of a core, %zu log lines of failed accepts in %.1f s\n",
              busy * 100, acceptLines() - linesBefore, secondsSince(exhaustedAt));
  // Half the flood leaves; a new player must get in by itself.
  for (std::size_t i = 0; i < 200 && i < clients.size(); ++i) clients[i].reset();
  auto freed = Clock::now();
  Client probe(world.playerPort(), "127.0.0.250");
  bool in = probe.ok() && probe.waitFor({"What is your name?"}, seconds(10)).has_value();
  std::printf("  after 200 connections closed, a new player was %s in %.2f s\n", in ? "welcomed" : "NOT welcomed",
              secondsSince(freed));
  if (std::getenv("KELVA_ATTACK_LOG")) std::fputs(world.log().c_str(), stdout);
  clients.clear();
  reportLog(world);
}

void attackGhost(const fs::path& dir, const std::string& keepAlive) {
  std::printf("== ghost: players whose network is cut (no FIN, no RST); --keepalive %s\n", keepAlive.c_str());
  World world(dir / "ghost", {"--keepalive", keepAlive});
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  Client watcher(world.playerPort(), "127.0.0.5");
  watcher.waitFor({"What is your name?"}, seconds(5));
  watcher.send("watcher");
  watcher.waitFor({"Type .help"}, seconds(5));

  Client ghost(world.playerPort(), "127.0.0.4");
  ghost.waitFor({"What is your name?"}, seconds(5));
  ghost.send("ghost");
  ghost.waitFor({"Type .help"}, seconds(5));
  // A second ghost is sent a line after the first keep-alive probe went
  // unanswered: from then on only the bound on unacknowledged output, or
  // the world's own look at how long the peer was silent, can find it.
  Client late(world.playerPort(), "127.0.0.8");
  late.waitFor({"What is your name?"}, seconds(5));
  late.send("late");
  late.waitFor({"Type .help"}, seconds(5));
  Client kaya(world.playerPort(), "127.0.0.6");
  kaya.waitFor({"What is your name?"}, seconds(5));
  kaya.send("Kaya");
  kaya.waitFor({"Password?"}, seconds(5));
  kaya.send("kaya");
  kaya.waitFor({"Type .help"}, seconds(5));
  if (!ghost.vanish() || !kaya.vanish() || !late.vanish())
    return void(std::printf("  cannot cut a connection silently here: %s\n", std::strerror(errno)));
  auto cut = Clock::now();

  // The registered player comes back at once from elsewhere.
  Client back(world.playerPort(), "127.0.0.7");
  back.waitFor({"What is your name?"}, seconds(5));
  back.send("Kaya");
  back.waitFor({"Password?"}, seconds(5));
  back.send("kaya");
  bool in = back.waitFor({"Type .help", "already in the world"}, seconds(5)).value_or("").find("Type .help") !=
            std::string::npos;
  std::printf("  the registered player, logging in again from elsewhere: %s after %.2f s\n",
              in ? "in (took the name over)" : "REFUSED", secondsSince(cut));

  // The guest ghosts stay until the world finds them gone.
  const double firstProbe = std::atof(keepAlive.c_str());
  bool told = false;
  double gone = -1, lateGone = -1;
  while (secondsSince(cut) < 300 && (gone < 0 || lateGone < 0)) {
    if (!told && secondsSince(cut) > firstProbe + 0.5) {
      watcher.send("is anyone there?");  // the late ghost hears it, and never acknowledges it
      told = true;
    }
    watcher.send(".who");
    auto who = watcher.waitFor({"In the world:"}, seconds(5));
    if (who && gone < 0 && who->find("\"ghost\"") == std::string::npos) gone = secondsSince(cut);
    if (who && lateGone < 0 && who->find("\"late\"") == std::string::npos) lateGone = secondsSince(cut);
    std::this_thread::sleep_for(milliseconds(250));
  }
  for (auto [name, at] : {std::pair{"the ghost sent nothing", gone}, {"the ghost sent a late line", lateGone}}) {
    if (at < 0)
      std::printf("  %s was still in .who after 300 s\n", name);
    else
      std::printf("  %s left .who %.1f s after the cut\n", name, at);
  }
  reportLog(world);
}


namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// Logs a bot in on `port` from `from`; the reply line, or "" when none came.
std::string botLogIn(uint16_t port, const std::string& from, Clock::time_point& answeredAt) {
  Client bot(port, from);
  if (!bot.ok()) return "";
  bot.send(startBot("botpw"));
  auto reply = bot.waitFor({"\"reply\""}, seconds(5));
  answeredAt = Clock::now();
  return reply.value_or("");
}

void attackLockout(const fs::path& dir, int span) {
  std::printf("== lockout: 4 addresses hold the bot port's waiting places, reconnecting every 10 s, %d s\n", span);
  World world(dir / "lockout");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::atomic<bool> stop{false};
  std::vector<std::thread> strangers;
  for (int a = 0; a < 4; ++a)
    strangers.emplace_back([&, a] {
      while (!stop) {
        std::vector<std::unique_ptr<Client>> silent;
        for (int i = 0; i < 4; ++i)
          silent.push_back(std::make_unique<Client>(world.botPort(), "127.0.3." + std::to_string(a + 1)));
        for (int t = 0; t < 100 && !stop; ++t) std::this_thread::sleep_for(milliseconds(100));
      }
    });
  std::this_thread::sleep_for(seconds(1));
  int tries = 0, in = 0;
  double worst = 0;
  auto end = Clock::now() + seconds(span);
  while (Clock::now() < end) {
    ++tries;
    auto asked = Clock::now();
    Clock::time_point answered;
    std::string reply = botLogIn(world.botPort(), "127.0.0.9", answered);
    if (reply.find("\"rc\":0") != std::string::npos) {
      ++in;
      worst = std::max(worst, std::chrono::duration<double>(answered - asked).count());
    }
    std::this_thread::sleep_for(milliseconds(900));
  }
  stop = true;
  for (std::thread& t : strangers) t.join();
  std::printf("  the real bot logged in %d times of %d; the slowest log-in took %.3f s\n", in, tries, worst);
  reportLog(world);
}

void attackSilentFill(const fs::path& dir) {
  std::printf("== silentfill: 50 addresses x 20 silent player connections, then a newcomer\n");
  World world(dir / "silentfill");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::vector<std::unique_ptr<Client>> silent;
  for (int a = 0; a < 50; ++a)
    for (int i = 0; i < 20; ++i)
      silent.push_back(std::make_unique<Client>(world.playerPort(), "127.0.4." + std::to_string(a + 1)));
  std::this_thread::sleep_for(seconds(2));
  std::size_t stillOpen = 0;
  for (auto& c : silent) stillOpen += c->closedByServer(milliseconds(1)) ? 0 : 1;
  auto asked = Clock::now();
  Client kaya(world.playerPort(), "127.0.0.200");
  bool in = kaya.waitFor({"What is your name?"}, seconds(5)).has_value();
  kaya.send("Kaya");
  in = in && kaya.waitFor({"Password?"}, seconds(5)).has_value();
  kaya.send("kaya");
  in = in && kaya.waitFor({"Type .help"}, seconds(5)).has_value();
  std::printf("  %zu of the 1000 silent connections still held after 2 s; the newcomer was %s after %.2f s\n",
              stillOpen, in ? "in" : "NOT in", secondsSince(asked));
  reportLog(world);
}

// An HTTP request to the world's web port; the answer's status line and
// headers, or "" when none came.
std::string webAnswer(uint16_t port, const std::string& request) {
  Client c(port, "127.0.0.30");
  if (!c.ok()) return "";
  c.sendRaw(request);
  std::string head;
  while (auto l = c.line(seconds(3))) {
    if (l->empty() || *l == "\r") break;
    head += *l + "\n";
  }
  return head;
}

void attackSymlink(const fs::path& dir) {
  std::printf("== symlink: a link to /etc planted in the web root\n");
  fs::path root = dir / "symlink-root";
  fs::create_directories(root);
  std::ofstream(root / "index.html") << "<p>page</p>";
  std::error_code ec;
  fs::create_directory_symlink("/etc", root / "leak", ec);
  World world(dir / "symlink", {"--web-root", root.string()});
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::string answer = webAnswer(world.webPort(), "GET /leak/passwd HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  std::printf("  GET /leak/passwd: %s\n", answer.substr(0, answer.find('\n')).c_str());
}

void attackHead(const fs::path& dir) {
  std::printf("== head: HEAD / and the world afterwards\n");
  World world(dir / "head");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::string answer = webAnswer(world.webPort(), "HEAD / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  std::this_thread::sleep_for(milliseconds(200));
  bool alive = ::kill(world.pid(), 0) == 0 && !webAnswer(world.webPort(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n").empty();
  std::printf("  HEAD /: %s; the world %s\n", answer.substr(0, answer.find('\n')).c_str(),
              alive ? "still answers" : "IS GONE");
}

void attackOrigin(const fs::path& dir) {
  std::printf("== origin: a page from another site opens the game's WebSocket\n");
  World world(dir / "origin");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::string answer = webAnswer(world.webPort(),
                                 "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                                 "Origin: http://evil.test\r\n\r\n");
  std::printf("  Origin http://evil.test: %s\n", answer.substr(0, answer.find('\n')).c_str());
}

// 1,000 browser players who log in and read everything, then leave.
void attackBrowsers(const fs::path& dir) {
  std::printf("== browsers: 1000 browser players at one spot, reading normally, 10 s; then they leave\n");
  World world(dir / "browsers", {"--max-per-address", "0", "--max-logging-in", "0,0"});
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  std::this_thread::sleep_for(milliseconds(300));
  long before = world.rssKb();
  world.resetPeak();
  asio::io_context io;
  struct Browser {
    explicit Browser(asio::io_context& io) : ws(io) {}
    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer buffer;
    std::string login;
    bool entered = false;
  };
  std::vector<std::shared_ptr<Browser>> browsers;
  std::atomic<int> entered{0};
  std::function<void(std::shared_ptr<Browser>)> readMore = [&](std::shared_ptr<Browser> b) {
    b->ws.async_read(b->buffer, [&, b](beast::error_code e, std::size_t) {
      if (e) return;
      if (!b->entered && beast::buffers_to_string(b->buffer.data()).find("\"entered\"") != std::string::npos) {
        b->entered = true;
        ++entered;
      }
      b->buffer.consume(b->buffer.size());
      readMore(b);
    });
  };
  for (int i = 0; i < 1000; ++i) {
    auto b = std::make_shared<Browser>(io);
    b->login = R"({"type":"login","name":"b)" + std::to_string(i) + R"("})";
    tcp::endpoint to(asio::ip::make_address("127.0.0.1"), world.webPort());
    beast::get_lowest_layer(b->ws).async_connect(to, [&, b](beast::error_code e) {
      if (e) return;
      b->ws.async_handshake("127.0.0.1", "/ws", [&, b](beast::error_code e2) {
        if (e2) return;
        b->ws.async_write(asio::buffer(b->login), [&, b](beast::error_code e3, std::size_t) {
          if (!e3) readMore(b);
        });
      });
    });
    browsers.push_back(b);
  }
  std::thread runner([&] { io.run_for(seconds(45)); });
  auto start = Clock::now();
  while (entered < 1000 && secondsSince(start) < 15) std::this_thread::sleep_for(milliseconds(100));
  std::this_thread::sleep_for(seconds(10));
  long loaded = world.rssKb();
  asio::post(io, [&] {
    for (auto& b : browsers) {
      beast::error_code ignored;
      beast::get_lowest_layer(b->ws).socket().close(ignored);
    }
  });
  std::this_thread::sleep_for(seconds(12));
  long after = world.rssKb();
  io.stop();
  runner.join();
  std::printf("  %d entered; world RSS %.1f MB before, %.1f MB with them (peak %.1f MB while they arrived),"
              " %.1f MB 12 s after they left\n",
              entered.load(), before / 1024.0, loaded / 1024.0, world.peakRssKb() / 1024.0, after / 1024.0);
  reportLog(world);
}

void attackBotCrLf(const fs::path& dir) {
  std::printf("== botcrlf: a bot says and whispers texts with CR and LF to forge the world's lines\n");
  World world(dir / "botcrlf");
  if (!world.started()) return void(std::printf("  the world did not start\n"));
  Client kaya(world.playerPort(), "127.0.0.40");
  kaya.waitFor({"What is your name?"}, seconds(5));
  kaya.send("Kaya");
  kaya.waitFor({"Password?"}, seconds(5));
  kaya.send("kaya");
  kaya.waitFor({"Type .help"}, seconds(5));
  Client bot(world.botPort(), "127.0.0.41");
  bot.send(startBot("botpw"));
  bot.waitFor({"\"reply\""}, seconds(5));
  auto arrival = bot.waitFor({"\"AvatarName\":\"Kaya\""}, seconds(5)).value_or("");
  std::smatch session;
  std::regex_search(arrival, session, std::regex(R"("AvatarSession":(\d+))"));
  bot.send(R"({"call":"Say","text":"hello\r\n* Kaya whispers: forged\rX\nY"})");
  bot.send(R"({"call":"Whisper","session":)" + (session.empty() ? std::string("1") : session[1].str()) +
           R"(,"text":"hi\n* Kaya whispers: forged"})");
  if (std::getenv("KELVA_ATTACK_LOG"))
    while (auto l = bot.line(milliseconds(500))) std::printf("  bot read: %s\n", l->c_str());
  std::optional<std::string> forged;
  while (auto l = kaya.line(seconds(2))) {
    if (std::getenv("KELVA_ATTACK_LOG")) std::printf("  kaya read: %s\n", l->c_str());
    if (l->rfind("* Kaya whispers: forged", 0) == 0 || *l == "X" || *l == "Y") forged = l;
  }
  std::printf("  a forged line reached the player: %s\n", forged ? forged->c_str() : "no");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> attacks;
  int span = 60;
  std::string keepAlive = "5,2,3";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--attack") attacks.push_back(argv[i + 1]);
    if (a == "--seconds") span = std::clamp(std::atoi(argv[i + 1]), 5, 600);
    if (a == "--keepalive") keepAlive = argv[i + 1];
  }
  if (attacks.empty())
    attacks = {"guess",   "guess50", "botguess", "memory", "descriptors", "ghost",  "lockout",
               "silentfill", "symlink", "head",   "origin",  "browsers",  "botcrlf"};

  // The flood of the descriptor attack needs more than the usual 1024 here.
  rlimit lim{};
  ::getrlimit(RLIMIT_NOFILE, &lim);
  lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 8192);
  ::setrlimit(RLIMIT_NOFILE, &lim);

  fs::path dir = fs::temp_directory_path() / ("kelva_world_attack_" + std::to_string(::getpid()));
  const std::map<std::string, std::function<void()>> runs = {
      {"guess", [&] { attackGuess(dir, span); }},
      {"guess50", [&] { attackGuess50(dir, span); }},
      {"botguess", [&] { attackBotGuess(dir, span); }},
      {"memory", [&] { attackMemory(dir); }},
      {"descriptors", [&] { attackDescriptors(dir); }},
      {"ghost", [&] { attackGhost(dir, keepAlive); }},
      {"lockout", [&] { attackLockout(dir, span); }},
      {"silentfill", [&] { attackSilentFill(dir); }},
      {"symlink", [&] { attackSymlink(dir); }},
      {"head", [&] { attackHead(dir); }},
      {"origin", [&] { attackOrigin(dir); }},
      {"browsers", [&] { attackBrowsers(dir); }},
      {"botcrlf", [&] { attackBotCrLf(dir); }},
  };
  for (const std::string& a : attacks) {
    auto it = runs.find(a);
    if (it == runs.end()) {
      std::cerr << "kelva_world_attack: no attack " << a << "\n";
      return 2;
    }
    it->second();
    std::fflush(stdout);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
