// Load runs of the world server and the bot as separate processes on
// loopback. Not a test: run by hand (docs/performance.md has the commands).
//
//   kelva_world_load [--run stats|spread|chat|arrive] [--players N] [--seconds S]
//                    [--world PATH_TO_KELVA_WORLD] [--console-page on|off]
//
//   stats   every player stands at the entry point and sends /stats once a
//           second; counts the bot's replies and times chat line to whisper.
//   spread  the same, with every player standing far from every other.
//   chat    every player stands at the entry point and chats publicly once a
//           second; counts the deliveries to the others and times them.
//   arrive  every player connects at once and sends /stats on entering. A
//           second bot of this tool's own counts the arrivals it is told of:
//           the time until it has them all is the time the world takes to
//           bring them to the bots; the time until the last reply adds the
//           game's own work of making 2,000 characters.
//
// With --console-page on, an operator has the bot's console page open with
// its charts for the whole run (bench/console_watcher.h).
//
// Each run reports the world's and the bot's CPU over its measured part.
// At most 2,000 players and 120 seconds; the run stops by itself a minute
// after its last line at the latest.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/console_watcher.h"
#include "bench/load_support.h"
#include "world/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelva::bench::cpuSeconds;
using kelva::bench::Histogram;
using kelva::bench::loadAverage;
using kelva::testing::ChildProcess;

const Clock::time_point kOrigin = Clock::now();

int64_t micros(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t - kOrigin).count();
}

struct Player {
  int fd = -1;
  std::string name;
  std::string buffer;
  bool entered = false;
  bool placed = false;  // stands where the run wants it
  bool warm = false;    // has had the bot's answer to a first /stats
  std::deque<Clock::time_point> waiting;  // commands sent, not yet answered
  Clock::time_point nextSend;
};

using kelva::bench::connectTo;
using kelva::bench::sendLine;

struct Options {
  std::string run = "stats";
  int players = 200;
  int seconds = 30;
  std::string world = KELVA_WORLD_PATH;
  bool consolePage = false;
};

constexpr const char* kConsolePassword = "load-run-operator";

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--run") o.run = argv[i + 1];
    else if (a == "--players") o.players = std::atoi(argv[i + 1]);
    else if (a == "--seconds") o.seconds = std::atoi(argv[i + 1]);
    else if (a == "--world") o.world = argv[i + 1];
    else if (a == "--console-page") o.consolePage = std::string(argv[i + 1]) == "on";
    else {
      std::cerr << "unknown option " << a << "\n";
      return 2;
    }
  }
  if (o.run != "stats" && o.run != "spread" && o.run != "chat" && o.run != "arrive") {
    std::cerr << "--run is stats, spread, chat or arrive\n";
    return 2;
  }
  o.players = std::clamp(o.players, 1, 2000);
  o.seconds = std::clamp(o.seconds, 1, 120);
  const bool commands = o.run != "chat";
  const bool arrive = o.run == "arrive";

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_world_load_" + std::to_string(::getpid()));
  fs::create_directories(dir / "data");
  {
    std::ofstream world(dir / "world.json");
    world << R"({"name": "LoadWorld", "bots": [{"citizen": 1, "password": "pw"}, {"citizen": 2, "password": "pw"}]})";
  }

  // Every load player comes from this machine and a crowd arrives at once, so
  // the caps per address and on those logging in are lifted. A world from
  // before those caps knows no such options: it is started again without
  // them, so an old world can be measured under the same load.
  std::vector<std::string> worldArgs{o.world, (dir / "world.json").string(), "--player-port", "0", "--bot-port", "0",
                                     "--max-players", std::to_string(o.players + 10)};
  const std::size_t withoutCaps = worldArgs.size();
  for (const char* arg : {"--web-port", "0", "--max-per-address", "0", "--max-logging-in", "0,0"})
    worldArgs.push_back(arg);
  std::optional<ChildProcess> started;
  for (int attempt = 0; attempt < 2; ++attempt) {
    started.emplace(worldArgs, (dir / "world.out").string(), (dir / "world.err").string());
    if (started->waitForOutput("Bots log in on:", std::chrono::seconds(10))) break;
    if (attempt == 0 && started->errorText().find("unknown option --") != std::string::npos) {
      worldArgs.resize(withoutCaps);
      continue;
    }
    std::cerr << "the world server did not start:\n" << started->errorText();
    return 1;
  }
  ChildProcess& server = *started;
  uint16_t playerPort = kelva::testing::portAfter(server.outputText(), "Players connect with:");
  uint16_t botPort = kelva::testing::portAfter(server.outputText(), "Bots log in on:");

  if (o.consolePage) {
    const std::string command = std::string("printf '%s\\n' ") + kConsolePassword + " | " + KELVABOT_PATH +
                                " console-password --data-dir " + (dir / "data").string() + " > /dev/null";
    if (std::system(command.c_str()) != 0) {
      std::cerr << "the console password could not be set\n";
      return 1;
    }
  }
  ChildProcess bot({KELVABOT_PATH, "--headless", "--world", "127.0.0.1:" + std::to_string(botPort), "--data-dir",
                    (dir / "data").string(), "--console-port", "0"},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  if (!kelva::bench::logInLoadBot(bot, server)) return 1;
  std::optional<kelva::bench::ConsoleWatcher> operatorPage;
  if (o.consolePage) {
    if (!bot.waitForOutput("Operator console:", std::chrono::seconds(10))) {
      std::cerr << "the bot did not open its console page\n";
      return 1;
    }
    operatorPage.emplace(kelva::testing::portAfter(bot.outputText(), "Operator console:"), kConsolePassword);
  }

  // The watching bot, logged in before the crowd comes.
  int watcher = connectTo(botPort);
  sendLine(watcher, R"({"call":"StartBot","id":1,"citizen":2,"password":"pw","botName":"Watcher",)"
                    R"("application":"load","world":"LoadWorld","x":0,"y":0,"z":0,"reserved1":0,"reserved2":251})");
  {
    char reply[4096];
    ssize_t n = ::recv(watcher, reply, sizeof reply, 0);
    if (n <= 0 || std::string_view(reply, static_cast<std::size_t>(n)).find("\"rc\":0") == std::string_view::npos) {
      std::cerr << "the watching bot could not log in\n";
      return 1;
    }
  }
  std::string watcherBuffer;
  std::size_t arrivalsSeen = 0;
  Clock::time_point allSeen{};

  const Clock::time_point connectStart = Clock::now();
  const double worldCpuAtConnect = cpuSeconds(server.pid());
  std::vector<Player> crowd(static_cast<std::size_t>(o.players));
  for (int i = 0; i < o.players; ++i) {
    Player& p = crowd[static_cast<std::size_t>(i)];
    p.fd = connectTo(playerPort);
    if (p.fd < 0) {
      std::cerr << "player " << i << " could not connect\n";
      return 1;
    }
    char name[16];
    std::snprintf(name, sizeof name, "p%04d", i);
    p.name = name;
    sendLine(p.fd, p.name);
  }

  uint64_t sent = 0;
  uint64_t replies = 0;
  uint64_t unexpected = 0;
  uint64_t delivered = 0;
  uint64_t chatSent = 0;
  Histogram latency;
  // Only the sockets with something to read are looked at: the tool must
  // not take the processor the world and the bot are measured on.
  int poller = ::epoll_create1(EPOLL_CLOEXEC);
  for (std::size_t i = 0; i < crowd.size(); ++i) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = i;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, crowd[i].fd, &ev);
  }
  {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = crowd.size();
    ::epoll_ctl(poller, EPOLL_CTL_ADD, watcher, &ev);
  }
  std::vector<epoll_event> ready(crowd.size() + 1);
  Clock::time_point start{};
  Clock::time_point stopSending{};
  Clock::time_point allEntered{};
  Clock::time_point lastReply{};
  Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
  double worldCpuStart = 0;
  double botCpuStart = 0;
  double worldCpuEnd = 0;
  double botCpuEnd = 0;
  bool warming = false;
  std::size_t warmed = 0;
  bool sending = false;
  std::size_t entered = 0;
  std::size_t placed = 0;
  double loadAtStart = loadAverage();
  std::string failure;

  for (;;) {
    Clock::time_point now = Clock::now();
    if (now > giveUp) {
      failure = sending   ? "the run did not finish in time"
                : warming ? "not every player had an answer to a first /stats in time"
                          : "not every player got into the world in 60 s";
      break;
    }
    if (!sending && entered == crowd.size() && allEntered == Clock::time_point{}) {
      allEntered = now;
      if (o.run == "spread") {
        // A square of players 100,000 units apart: nobody is near anybody.
        for (std::size_t i = 0; i < crowd.size(); ++i)
          sendLine(crowd[i].fd, ".move " + std::to_string(static_cast<long>(i % 45) * 100000) + " " +
                                    std::to_string(static_cast<long>(i / 45) * 100000 + 100000));
      }
    }
    if (!warming && !arrive && allEntered != Clock::time_point{} && (o.run != "spread" || placed == crowd.size())) {
      // The bot makes a character for each newcomer; the measured part
      // starts once every player has had an answer to a first /stats.
      warming = true;
      for (Player& p : crowd) sendLine(p.fd, "/stats");
    }
    if (!sending && warming && warmed == crowd.size()) {
      // The players are spread evenly over each second.
      sending = true;
      start = now + std::chrono::seconds(2);
      stopSending = start + std::chrono::seconds(o.seconds);
      giveUp = stopSending + std::chrono::seconds(60);
      for (std::size_t i = 0; i < crowd.size(); ++i)
        crowd[i].nextSend = start + std::chrono::microseconds(1000000 * i / crowd.size());
    }
    if (sending) {
      if (worldCpuStart == 0 && now >= start) {
        worldCpuStart = cpuSeconds(server.pid());
        botCpuStart = cpuSeconds(bot.pid());
        loadAtStart = loadAverage();
      }
      for (Player& p : crowd) {
        if (now >= p.nextSend && p.nextSend < stopSending) {
          Clock::time_point at = Clock::now();
          if (commands) {
            sendLine(p.fd, "/stats");
            p.waiting.push_back(at);
            ++sent;
          } else {
            sendLine(p.fd, "hello " + std::to_string(micros(at)));
            ++chatSent;
          }
          p.nextSend += std::chrono::seconds(1);
        }
      }
      if (now >= stopSending && worldCpuEnd == 0) {
        worldCpuEnd = cpuSeconds(server.pid());
        botCpuEnd = cpuSeconds(bot.pid());
      }
      bool pending = commands ? std::any_of(crowd.begin(), crowd.end(), [](const Player& p) { return !p.waiting.empty(); })
                              : delivered < chatSent * (crowd.size() - 1);
      if (now >= stopSending && (!pending || now >= stopSending + std::chrono::seconds(5))) break;
    }
    if (arrive && entered == crowd.size() &&
        std::none_of(crowd.begin(), crowd.end(), [](const Player& p) { return !p.waiting.empty(); })) {
      worldCpuEnd = cpuSeconds(server.pid());
      break;
    }

    int count = ::epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 1);
    for (int r = 0; r < count; ++r) {
      const std::size_t index = static_cast<std::size_t>(ready[static_cast<std::size_t>(r)].data.u64);
      if (index == crowd.size()) {
        char chunk[65536];
        ssize_t n = ::recv(watcher, chunk, sizeof chunk, 0);
        if (n <= 0) {
          std::cerr << "the watching bot was disconnected\n";
          return 1;
        }
        watcherBuffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t from = 0;
        for (std::size_t nl; (nl = watcherBuffer.find('\n', from)) != std::string::npos; from = nl + 1)
          if (watcherBuffer.compare(from, 25, R"({"event":"avatar-arrival")") == 0 && ++arrivalsSeen == crowd.size())
            allSeen = Clock::now();
        watcherBuffer.erase(0, from);
        continue;
      }
      Player& p = crowd[index];
      char chunk[65536];
      ssize_t n = ::recv(p.fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        std::cerr << p.name << " was disconnected\n";
        return 1;
      }
      Clock::time_point got = Clock::now();
      p.buffer.append(chunk, static_cast<std::size_t>(n));
      std::size_t from = 0;
      for (std::size_t nl; (nl = p.buffer.find('\n', from)) != std::string::npos; from = nl + 1) {
        std::string_view line(p.buffer.data() + from, nl - from);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!p.entered && line.find("Type .help") != std::string_view::npos) {
          p.entered = true;
          ++entered;
          if (arrive) {
            sendLine(p.fd, "/stats");
            p.waiting.push_back(Clock::now());
            ++sent;
          }
          continue;
        }
        if (!p.placed && line.rfind("* You are at ", 0) == 0) {
          p.placed = true;
          ++placed;
          continue;
        }
        const bool answer = line.rfind("Kelvabot whispers: stats: ", 0) == 0 ||
                            line == "Kelvabot whispers: You do not have a character.";
        if (answer && warming && !p.warm) {
          p.warm = true;
          ++warmed;
          continue;
        }
        if (!commands) {
          // A chat line from another player: "\"p0001\": hello MICROS".
          std::size_t at = line.find("\": hello ");
          if (at == std::string_view::npos) continue;
          // Parsed in place: a million deliveries a second must not cost the
          // tool a string each, or the tool takes the processor it measures.
          int64_t when = 0;
          std::from_chars(line.data() + at + 9, line.data() + line.size(), when);
          latency.add(static_cast<double>(micros(got) - when) / 1000.0);
          ++delivered;
          continue;
        }
        // The first line of the bot's answer to /stats: the statistics, or,
        // for a player whose character lies past roster slot 100 (the game
        // looks players up in slots 0 to 100 only), that there is none.
        if (answer) {
          if (p.waiting.empty()) {
            ++unexpected;
            continue;
          }
          latency.add(std::chrono::duration<double, std::milli>(got - p.waiting.front()).count());
          p.waiting.pop_front();
          ++replies;
          lastReply = got;
        }
      }
      p.buffer.erase(0, from);
    }
  }

  rusage own{};
  ::getrusage(RUSAGE_SELF, &own);
  const double toolCpu = static_cast<double>(own.ru_utime.tv_sec + own.ru_stime.tv_sec) +
                         static_cast<double>(own.ru_utime.tv_usec + own.ru_stime.tv_usec) / 1e6;
  ::close(poller);
  ::close(watcher);
  double worldCpu = worldCpuEnd - worldCpuStart;
  double botCpu = botCpuEnd - botCpuStart;
  for (Player& p : crowd) ::close(p.fd);
  if (operatorPage) operatorPage->stop();
  bot.writeLine("close");
  bot.waitExit(std::chrono::seconds(10));
  server.signal(SIGTERM);
  server.waitExit(std::chrono::seconds(5));

  auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("run %s: %d players, load average %.1f at the start\n", o.run.c_str(), o.players, loadAtStart);
  bool ok = failure.empty();
  if (arrive) {
    auto after = [&](Clock::time_point t) { return t == Clock::time_point{} ? -1.0 : ms(t - connectStart); };
    std::printf("all in the world after %.0f ms; a bot had been told of all after %.0f ms; the game bot had "
                "answered everyone after %.0f ms; world CPU %.2f s\n",
                after(allEntered), after(allSeen), after(lastReply), worldCpuEnd - worldCpuAtConnect);
    ok = ok && replies == sent && sent == crowd.size();
  } else if (commands) {
    std::printf("%d s, one /stats a second each: sent %llu, replies %llu, lost %llu, unexpected %llu\n", o.seconds,
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(replies),
                static_cast<unsigned long long>(sent - replies), static_cast<unsigned long long>(unexpected));
    ok = ok && sent == replies;
  } else {
    uint64_t expected = chatSent * (crowd.size() - 1);
    std::printf("%d s, one public line a second each: sent %llu, deliveries %llu of %llu\n", o.seconds,
                static_cast<unsigned long long>(chatSent), static_cast<unsigned long long>(delivered),
                static_cast<unsigned long long>(expected));
    ok = ok && delivered == expected;
  }
  if (!arrive) {
    std::printf("%s: median %.1f ms, p99 %.1f ms, max %.1f ms\n",
                commands ? "chat line to whisper" : "chat line to delivery", latency.percentile(0.5),
                latency.percentile(0.99), latency.percentile(1.0));
    std::printf("CPU while sending: world %.0f %%, bot %.0f %% (of one core)\n", 100.0 * worldCpu / o.seconds,
                100.0 * botCpu / o.seconds);
  }
  if (operatorPage) {
    std::printf("console page open: %llu requests, %llu failed\n",
                static_cast<unsigned long long>(operatorPage->requests()),
                static_cast<unsigned long long>(operatorPage->failures()));
    ok = ok && operatorPage->requests() > 0 && operatorPage->failures() == 0;
  }
  std::printf("this tool's own CPU over the whole run: %.1f s\n", toolCpu);
  if (!failure.empty()) std::printf("%s\n", failure.c_str());
  if (!ok) {
    std::printf("the logs are kept in %s\n", dir.string().c_str());
    return 1;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
