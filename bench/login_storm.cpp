// The log-in storm: registered players log in on the line port at a steady
// rate, each from an address of its own, while a crowd of guests chats
// publicly at the entry point. Not a test: run by hand (docs/performance.md
// has the command and the figures).
//
//   kelva_login_storm [--rate R] [--seconds S] [--chatters N] [--world PATH]
//
// The run has two parts of S seconds each: first the crowd chats alone (the
// world's usual figure on this machine at this moment), then the storm comes
// on top: R log-ins a second with the right password. Each log-in is timed
// from its connection to the world's answer ("Type .help" once in, or a
// refusal, or the world closing the connection) and leaves at once. The
// accounts are in the world file with real Argon2id hashes, made by
// `kelva-world hash-password`; all share one password and so one hash
// (making thousands of distinct hashes would take longer than the run, and
// checking one costs the same whichever it is).
//
// Loopback only. At most 500 log-ins a second, 60 s a part and 1,000
// chatters; the run stops by itself at the latest 60 s after its last
// log-in.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/load_support.h"
#include "world/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelva::bench::cpuSeconds;
using kelva::bench::Histogram;
using kelva::bench::loadAverage;
using kelva::bench::sendLine;
using kelva::testing::ChildProcess;

const Clock::time_point kOrigin = Clock::now();
constexpr const char* kPassword = "storm-password";
constexpr int kAccounts = 2000;  // each account logs in again every kAccounts / R seconds
constexpr std::chrono::seconds kAnswerGoal{2};
// The chatting crowd's p99 in the storm: the world's goal for public chat.
constexpr double kChatGoalMs = 100.0;

int64_t micros(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t - kOrigin).count();
}
double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A connection to the world's line port from the loopback address
// 127.`a`.`b`.`c`, so that every client is a host of its own to the world's
// per-address guards; -1 when it cannot be made. With `wait` false the
// connection is only begun (the storm must not stall the tool while the
// world's queue of new connections is full): it is made once its socket
// can be written to.
int connectFrom(uint16_t port, int a, int b, int c, bool wait = true) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
  if (fd < 0) return -1;
  sockaddr_in from{};
  from.sin_family = AF_INET;
  from.sin_addr.s_addr = htonl((127u << 24) | (static_cast<uint32_t>(a) << 16) | (static_cast<uint32_t>(b) << 8) |
                               static_cast<uint32_t>(c));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{1, 0};  // a connection that cannot be made in a second is counted as refused
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && (wait || errno != EINPROGRESS))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

struct Chatter {
  int fd = -1;
  std::string buffer;
  bool entered = false;
  Clock::time_point nextSend;
};

// One log-in of the storm, from its connection to the world's answer.
struct Login {
  int fd = -1;
  std::string name;
  std::string buffer;
  Clock::time_point connected;
  bool open = false;   // the connection is made and the name sent
  bool asked = false;  // the world asked for the password, and had it
};

enum class Outcome { kEntered, kBusy, kTurnedAway, kRefused, kClosed };

struct Tally {
  uint64_t started = 0, notConnected = 0, entered = 0, busy = 0, turnedAway = 0, refused = 0, closed = 0, late = 0;
  Histogram time;  // connection to answer
  std::string firstRefusal;
};

struct ChatPart {
  uint64_t sent = 0, delivered = 0;
  Histogram latency;
  double worldCpu = 0;
};

}  // namespace

int main(int argc, char** argv) {
  int rate = 200, seconds = 30, chatters = 1000;
  std::string worldPath = KELVA_WORLD_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--rate") rate = std::atoi(argv[i + 1]);
    else if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    else if (a == "--chatters") chatters = std::atoi(argv[i + 1]);
    else if (a == "--world") worldPath = argv[i + 1];
    else {
      std::cerr << "unknown option " << a << "\n";
      return 2;
    }
  }
  rate = std::clamp(rate, 1, 500);
  seconds = std::clamp(seconds, 1, 60);
  chatters = std::clamp(chatters, 2, 1000);
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_login_storm_" + std::to_string(::getpid()));
  fs::create_directories(dir / "store");
  const std::string hashCommand = "printf '%s\\n' " + std::string(kPassword) + " | " + worldPath + " hash-password";
  std::string hash;
  if (FILE* pipe = ::popen(hashCommand.c_str(), "r")) {
    char text[512] = {};
    if (std::fgets(text, sizeof text, pipe)) hash = text;
    ::pclose(pipe);
  }
  while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
  if (hash.rfind("$argon2id$", 0) != 0) {
    std::cerr << "kelva-world hash-password gave no Argon2id hash: " << hash << "\n";
    return 1;
  }
  {
    std::ofstream world(dir / "world.json");
    world << R"({"name": "StormWorld", "bots": [], "players": [)";
    for (int i = 0; i < kAccounts; ++i)
      world << (i ? "," : "") << "\n  {\"name\": \"s" << i << "\", \"passwordHash\": \"" << hash << "\"}";
    world << "]}\n";
  }
  // The world's own guards stay as they are (the caps per address and on
  // those logging in are what meets a storm); only the player cap is raised
  // to hold the crowd and the storm's visitors.
  ChildProcess server({worldPath, (dir / "world.json").string(), "--data-dir", (dir / "store").string(),
                       "--player-port", "0", "--bot-port", "0", "--web-port", "0", "--max-players",
                       std::to_string(chatters + 2 * rate + 100)},
                      (dir / "world.out").string(), (dir / "world.err").string());
  if (!server.waitForOutput("Bots log in on:", std::chrono::seconds(60))) {
    std::cerr << "the world server did not start:\n" << server.errorText();
    return 1;
  }
  const uint16_t port = kelva::testing::portAfter(server.outputText(), "Players connect with:");

  int poller = ::epoll_create1(EPOLL_CLOEXEC);
  auto watch = [&](int fd, uint64_t key, uint32_t events = EPOLLIN) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = key;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, fd, &ev);
  };
  constexpr uint64_t kLoginKey = 1ull << 40;  // keys at and past it are log-ins

  std::vector<Chatter> crowd(static_cast<std::size_t>(chatters));
  std::map<uint64_t, Login> logins;
  uint64_t nextLogin = 0;
  Tally tally;
  ChatPart quiet, storm;
  std::string failure;

  // The crowd comes in groups of 100 (each from its own address in
  // 127.1.0.0/16), each group once the one before is in.
  std::size_t connected = 0, entered = 0;
  const double loadAtStart = loadAverage();
  Clock::time_point quietStart{}, stormStart{}, stormEnd{}, giveUp = Clock::now() + std::chrono::seconds(60);
  double cpuMark = 0;
  std::vector<epoll_event> ready(4096);

  auto finish = [&](std::map<uint64_t, Login>::iterator it, Outcome outcome, Clock::time_point at) {
    Login& l = it->second;
    const Clock::duration took = at - l.connected;
    tally.time.add(ms(took));
    if (took > kAnswerGoal) ++tally.late;
    switch (outcome) {
      case Outcome::kEntered: ++tally.entered; break;
      case Outcome::kBusy: ++tally.busy; break;
      case Outcome::kTurnedAway: ++tally.turnedAway; break;
      case Outcome::kRefused: ++tally.refused; break;
      case Outcome::kClosed: ++tally.closed; break;
    }
    ::close(l.fd);
    logins.erase(it);
  };

  for (;;) {
    Clock::time_point now = Clock::now();
    if (now > giveUp) {
      failure = stormStart == Clock::time_point{} ? "the crowd did not get into the world in time"
                                                  : "the run did not finish in time";
      break;
    }
    if (quietStart == Clock::time_point{} && connected == entered) {
      if (connected < crowd.size()) {
        for (std::size_t n = 0; n < 100 && connected < crowd.size(); ++n, ++connected) {
          Chatter& c = crowd[connected];
          c.fd = connectFrom(port, 1, static_cast<int>(connected / 250), static_cast<int>(1 + connected % 250));
          if (c.fd < 0) {
            std::cerr << "chatter " << connected << " could not connect\n";
            return 1;
          }
          watch(c.fd, connected);
          char name[32];
          std::snprintf(name, sizeof name, "c%04zu", connected);
          sendLine(c.fd, name);
        }
      } else {
        // Everyone is in: the chat starts in two seconds, spread evenly over each second.
        quietStart = now + std::chrono::seconds(2);
        stormStart = quietStart + std::chrono::seconds(seconds);
        stormEnd = stormStart + std::chrono::seconds(seconds);
        giveUp = stormEnd + std::chrono::seconds(60);
        for (std::size_t i = 0; i < crowd.size(); ++i)
          crowd[i].nextSend = quietStart + std::chrono::microseconds(1000000 * i / crowd.size());
      }
    }
    if (quietStart != Clock::time_point{}) {
      if (cpuMark == 0 && now >= quietStart) cpuMark = cpuSeconds(server.pid());
      if (quiet.worldCpu == 0 && now >= stormStart) {
        const double cpu = cpuSeconds(server.pid());
        quiet.worldCpu = cpu - cpuMark;
        cpuMark = cpu;
      }
      if (storm.worldCpu == 0 && now >= stormEnd) storm.worldCpu = cpuSeconds(server.pid()) - cpuMark;
      for (Chatter& c : crowd) {
        if (now >= c.nextSend && c.nextSend < stormEnd) {
          const Clock::time_point at = Clock::now();
          sendLine(c.fd, "hello " + std::to_string(micros(at)));
          ++(at < stormStart ? quiet : storm).sent;
          c.nextSend += std::chrono::seconds(1);
        }
      }
      // The storm's log-ins, each due at its own moment of the storm.
      const uint64_t total = static_cast<uint64_t>(rate) * static_cast<uint64_t>(seconds);
      while (now >= stormStart && tally.started < total &&
             now >= stormStart + std::chrono::microseconds(1000000 * tally.started / static_cast<uint64_t>(rate))) {
        const uint64_t n = tally.started++;
        Login l;
        l.name = "s" + std::to_string(n % kAccounts);
        l.connected = Clock::now();
        // 127.2.0.1 onwards: a new address for every log-in of the run.
        l.fd = connectFrom(port, 2 + static_cast<int>(n / 62500), static_cast<int>((n / 250) % 250),
                           static_cast<int>(1 + n % 250), false);
        if (l.fd < 0) {
          ++tally.notConnected;
          continue;
        }
        const uint64_t key = kLoginKey + nextLogin++;
        watch(l.fd, key, EPOLLIN | EPOLLOUT);
        logins.emplace(key, std::move(l));
      }
      const bool chatPending = quiet.delivered + storm.delivered < (quiet.sent + storm.sent) * (crowd.size() - 1);
      if (now >= stormEnd && logins.empty() && (!chatPending || now >= stormEnd + std::chrono::seconds(5))) break;
    }

    const int count = ::epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 1);
    for (int r = 0; r < count; ++r) {
      const uint64_t key = ready[static_cast<std::size_t>(r)].data.u64;
      char chunk[65536];
      if (key >= kLoginKey) {
        auto it = logins.find(key);
        if (it == logins.end()) continue;
        Login& l = it->second;
        if (!l.open) {
          int error = 0;
          socklen_t size = sizeof error;
          ::getsockopt(l.fd, SOL_SOCKET, SO_ERROR, &error, &size);
          if (error != 0) {
            ++tally.notConnected;
            ::close(l.fd);
            logins.erase(it);
            continue;
          }
          l.open = true;
          epoll_event ev{};
          ev.events = EPOLLIN;
          ev.data.u64 = key;
          ::epoll_ctl(poller, EPOLL_CTL_MOD, l.fd, &ev);
          sendLine(l.fd, l.name);
          if (!(ready[static_cast<std::size_t>(r)].events & EPOLLIN)) continue;
        }
        const ssize_t n = ::recv(l.fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EAGAIN) continue;
        const Clock::time_point got = Clock::now();
        if (n <= 0) {
          finish(it, Outcome::kClosed, got);
          continue;
        }
        l.buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t from = 0;
        bool done = false;
        for (std::size_t nl; !done && (nl = l.buffer.find('\n', from)) != std::string::npos; from = nl + 1) {
          std::string_view line(l.buffer.data() + from, nl - from);
          if (line.find("Type .help") != std::string_view::npos) {
            finish(it, Outcome::kEntered, got);
            done = true;
          } else if (line.rfind("* Goodbye: too many connections were logging in at once", 0) == 0) {
            // Let go, with the reason, to make room for newer log-ins.
            finish(it, Outcome::kTurnedAway, got);
            done = true;
          } else if (line.find("is a registered name. Password?") != std::string_view::npos && !l.asked) {
            l.asked = true;
            sendLine(l.fd, kPassword);
          } else if (line.find("What is your name?") != std::string_view::npos &&
                     line.find("* What is your name?") != 0) {
            const bool busy = line.find("The world is busy") != std::string_view::npos;
            if (!busy && tally.firstRefusal.empty()) tally.firstRefusal = std::string(line);
            finish(it, busy ? Outcome::kBusy : Outcome::kRefused, got);
            done = true;
          }
        }
        if (!done) l.buffer.erase(0, from);
        continue;
      }
      Chatter& c = crowd[static_cast<std::size_t>(key)];
      const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        std::cerr << "chatter " << key << " was disconnected\n";
        return 1;
      }
      const Clock::time_point got = Clock::now();
      c.buffer.append(chunk, static_cast<std::size_t>(n));
      std::size_t from = 0;
      for (std::size_t nl; (nl = c.buffer.find('\n', from)) != std::string::npos; from = nl + 1) {
        std::string_view line(c.buffer.data() + from, nl - from);
        if (!c.entered && line.find("Type .help") != std::string_view::npos) {
          c.entered = true;
          ++entered;
          continue;
        }
        // A chatter's line: "\"c0001\": hello MICROS", parsed in place (a
        // million deliveries a second must not cost a string each).
        const std::size_t at = line.find("\": hello ");
        if (at == std::string_view::npos) continue;
        int64_t when = 0;
        std::from_chars(line.data() + at + 9, line.data() + line.size(), when);
        ChatPart& part = when < micros(stormStart) ? quiet : storm;
        part.latency.add(static_cast<double>(micros(got) - when) / 1000.0);
        ++part.delivered;
      }
      c.buffer.erase(0, from);
    }
  }

  const uint64_t unanswered = logins.size();
  for (auto& [key, l] : logins) ::close(l.fd);
  for (Chatter& c : crowd)
    if (c.fd >= 0) ::close(c.fd);
  ::close(poller);
  server.signal(SIGTERM);
  server.waitExit(std::chrono::seconds(10));

  std::printf("log-in storm: %d chatters, %d log-ins a second for %d s, load average %.1f at the start\n", chatters,
              rate, seconds, loadAtStart);
  bool ok = failure.empty();
  for (const auto& [part, what] : {std::pair<const ChatPart*, const char*>{&quiet, "chat alone"},
                                   std::pair<const ChatPart*, const char*>{&storm, "chat in the storm"}}) {
    const uint64_t expected = part->sent * (crowd.size() - 1);
    std::printf("%s: %llu lines, deliveries %llu of %llu; median %.1f ms, p99 %.1f ms, max %.1f ms; world CPU %.0f %%\n",
                what, static_cast<unsigned long long>(part->sent), static_cast<unsigned long long>(part->delivered),
                static_cast<unsigned long long>(expected), part->latency.percentile(0.5),
                part->latency.percentile(0.99), part->latency.percentile(1.0), 100.0 * part->worldCpu / seconds);
    ok = ok && part->delivered == expected;
  }
  std::printf("log-ins: %llu started, %llu could not connect, %llu entered (%.1f a second), %llu told the world is "
              "busy, %llu let go to make room, %llu refused otherwise, %llu closed by the world without a word, "
              "%llu unanswered\n",
              static_cast<unsigned long long>(tally.started), static_cast<unsigned long long>(tally.notConnected),
              static_cast<unsigned long long>(tally.entered), static_cast<double>(tally.entered) / seconds,
              static_cast<unsigned long long>(tally.busy), static_cast<unsigned long long>(tally.turnedAway),
              static_cast<unsigned long long>(tally.refused), static_cast<unsigned long long>(tally.closed),
              static_cast<unsigned long long>(unanswered));
  std::printf("connection to answer: median %.1f ms, p99 %.1f ms, max %.1f ms; %llu answered after more than 2 s\n",
              tally.time.percentile(0.5), tally.time.percentile(0.99), tally.time.percentile(1.0),
              static_cast<unsigned long long>(tally.late));
  if (!tally.firstRefusal.empty()) std::printf("the first other refusal: %s\n", tally.firstRefusal.c_str());
  // Every log-in hears back within the goal: let in, or told why not (the
  // password checks a machine can make in a second are what they are; past
  // them a player is told to try again rather than left waiting), and the
  // crowd's chat stays within its own goal.
  ok = ok && unanswered == 0 && tally.late == 0 && tally.notConnected == 0 && tally.closed == 0 &&
       tally.refused == 0 && storm.latency.percentile(0.99) <= kChatGoalMs;
  if (!failure.empty()) std::printf("%s\n", failure.c_str());
  if (!ok) {
    std::printf("not every goal was met; the world's logs are kept in %s\n", dir.string().c_str());
    return 1;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
