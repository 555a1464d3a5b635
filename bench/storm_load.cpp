// The save storm: a load run of the world server and the bot as separate
// processes in which many players on loopback each send one command a
// second; the run reports how many replies came back and how long the bot
// took from the chat line to its whisper. Not a test: scripts/bench.sh (or the binary itself) runs it.
//
//   kelva_storm_load [--players N] [--seconds S] [--roster R]
//                    [--storm K] [--storm-rate L] [--storm-command TEXT]
//                    [--bot PATH]
//
// --roster R starts the bot on a stats file of R characters, the players'
// own ("p000", "p001", ... as guests are named) in the first slots, where
// the game finds them.
// --storm K makes the first K players send TEXT (default "/reset", which
// saves) L times a second (default 10, the world's limit per player); the
// others still send "/stats" once a second, and their times are reported on
// their own. --bot runs another kelvabot binary (an older build, to compare).
// The run also counts how often the bot replaced stats.txt, watching the
// data folder with inotify.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/load_support.h"
#include "world/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelva::testing::ChildProcess;

struct Player {
  int fd = -1;
  std::string name;
  std::string buffer;
  bool entered = false;
  bool storm = false;
  std::deque<Clock::time_point> waiting;  // commands sent, not yet answered
  Clock::time_point nextSend;
};

// A character line of stats.txt: a new level 1 character called `name`.
std::string characterLine(const std::string& name) {
  return name + ",1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
}

using kelva::bench::connectTo;
using kelva::bench::sendLine;

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  int players = 200;
  int seconds = 30;
  int roster = 0;
  int storm = 0;
  double stormRate = 10;
  std::string stormCommand = "/reset";
  std::string botPath = KELVABOT_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--players") players = std::atoi(argv[i + 1]);
    if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    if (a == "--roster") roster = std::atoi(argv[i + 1]);
    if (a == "--storm") storm = std::atoi(argv[i + 1]);
    if (a == "--storm-rate") stormRate = std::atof(argv[i + 1]);
    if (a == "--storm-command") stormCommand = argv[i + 1];
    if (a == "--bot") botPath = argv[i + 1];
  }
  // Bounded in count and time whatever the options say.
  players = std::clamp(players, 1, 2000);
  seconds = std::clamp(seconds, 1, 600);
  roster = std::clamp(roster, 0, 5001);
  storm = std::clamp(storm, 0, players);
  stormRate = std::clamp(stormRate, 0.1, 100.0);

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_world_load_" + std::to_string(::getpid()));
  fs::create_directories(dir / "data");
  if (roster > 0) {
    std::ofstream stats(dir / "data" / "stats.txt", std::ios::binary);
    // The players come in as guests, whom the world shows in double quotes.
    char name[16];
    for (int i = 0; i < roster; ++i) {
      std::snprintf(name, sizeof name, i < players ? "\"p%03d\"" : "r%04d", i);
      stats << characterLine(name);
    }
  }
  // Every replacement of stats.txt ends with a rename onto it.
  const int watch = ::inotify_init1(IN_NONBLOCK);
  if (watch >= 0) ::inotify_add_watch(watch, (dir / "data").c_str(), IN_MOVED_TO);
  uint64_t statsSaves = 0;
  uint64_t statsSavesSending = 0;
  bool countingSaves = false;
  auto countSaves = [&] {
    alignas(inotify_event) char events[65536];
    for (;;) {
      ssize_t n = watch >= 0 ? ::read(watch, events, sizeof events) : -1;
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        if (e->len > 0 && std::string(e->name) == "stats.txt") {
          ++statsSaves;
          if (countingSaves) ++statsSavesSending;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
  };
  {
    std::ofstream world(dir / "world.json");
    world << R"({"name": "LoadWorld", "bots": [{"citizen": 1, "password": "pw"}]})";
  }

  ChildProcess server({KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", "0", "--bot-port", "0",
                       "--web-port", "0", "--max-players", "2000", "--max-per-address", "0", "--max-logging-in", "0,0"},
                      (dir / "world.out").string(), (dir / "world.err").string());
  if (!server.waitForOutput("Bots log in on:", std::chrono::seconds(10))) {
    std::cerr << "the world server did not start:\n" << server.errorText();
    return 1;
  }
  uint16_t playerPort = kelva::testing::portAfter(server.outputText(), "Players connect with:");
  uint16_t botPort = kelva::testing::portAfter(server.outputText(), "Bots log in on:");

  ChildProcess bot({botPath, "--headless", "--world", "127.0.0.1:" + std::to_string(botPort), "--data-dir",
                    (dir / "data").string()},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  if (!kelva::bench::logInLoadBot(bot, server)) return 1;

  std::vector<Player> crowd(static_cast<std::size_t>(players));
  for (int i = 0; i < players; ++i) {
    Player& p = crowd[static_cast<std::size_t>(i)];
    p.fd = connectTo(playerPort);
    if (p.fd < 0) {
      std::cerr << "player " << i << " could not connect\n";
      return 1;
    }
    char name[16];
    std::snprintf(name, sizeof name, "p%03d", i);
    p.name = name;
    p.storm = i < storm;
    sendLine(p.fd, p.name);
  }

  uint64_t sent = 0;
  uint64_t replies = 0;
  uint64_t unexpected = 0;
  uint64_t noCharacter = 0;
  uint64_t dropped = 0;  // lines the world refused as too fast
  std::vector<double> latencies;
  std::vector<double> stormLatencies;
  Clock::time_point lastReply{};
  const auto stormEvery = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / stormRate));
  std::vector<pollfd> fds(crowd.size());
  Clock::time_point start{};
  Clock::time_point stopSending{};
  Clock::time_point enteredBy = Clock::now() + std::chrono::seconds(20);
  bool sending = false;

  for (;;) {
    Clock::time_point now = Clock::now();
    if (!sending) {
      bool all = std::all_of(crowd.begin(), crowd.end(), [](const Player& p) { return p.entered; });
      if (!all && now > enteredBy) {
        std::cerr << "not every player got into the world in 20 s\n";
        return 1;
      }
      if (all) {
        // Give the bot a moment to create the new characters, then start;
        // the players are spread evenly over each second.
        sending = true;
        countSaves();
        countingSaves = true;
        start = now + std::chrono::seconds(2);
        stopSending = start + std::chrono::seconds(seconds);
        for (std::size_t i = 0; i < crowd.size(); ++i) {
          crowd[i].nextSend = start + std::chrono::microseconds(1000000 * i / crowd.size());
          // A storming player's first line comes within its first interval.
          if (crowd[i].storm) crowd[i].nextSend = start + stormEvery * static_cast<int64_t>(i) / storm;
        }
      }
    }
    if (sending) {
      for (Player& p : crowd) {
        if (now >= p.nextSend && p.nextSend < stopSending) {
          sendLine(p.fd, p.storm ? stormCommand : "/stats");
          p.waiting.push_back(Clock::now());
          if (p.storm) {
            p.nextSend += stormEvery;
          } else {
            p.nextSend += std::chrono::seconds(1);
          }
          ++sent;
        }
      }
      bool pending = std::any_of(crowd.begin(), crowd.end(), [](const Player& p) { return !p.waiting.empty(); });
      if (now >= stopSending && (!pending || now >= stopSending + std::chrono::seconds(5))) break;
      countSaves();
    }

    for (std::size_t i = 0; i < crowd.size(); ++i) fds[i] = {crowd[i].fd, POLLIN, 0};
    ::poll(fds.data(), fds.size(), 5);
    for (std::size_t i = 0; i < crowd.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      Player& p = crowd[i];
      char chunk[65536];
      ssize_t n = ::recv(p.fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        std::cerr << p.name << " was disconnected\n";
        return 1;
      }
      Clock::time_point got = Clock::now();
      p.buffer.append(chunk, static_cast<std::size_t>(n));
      for (std::size_t nl; (nl = p.buffer.find('\n')) != std::string::npos;) {
        std::string line = p.buffer.substr(0, nl);
        p.buffer.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("Type .help") != std::string::npos) p.entered = true;
        if (line.rfind("* You are typing too fast", 0) == 0 && !p.waiting.empty()) {
          ++dropped;
          p.waiting.pop_back();
          continue;
        }
        // The first line of the bot's answer to /stats: the statistics, or,
        // for a player whose character lies past roster slot 100 (the game
        // looks players up in slots 0 to 100 only), that there is none.
        bool stats = line.rfind("Kelvabot whispers: stats: ", 0) == 0;
        bool reborn = line == "Kelvabot whispers: You have been born again!";
        // /reset says "charecter", as the game always has.
        bool none = line == "Kelvabot whispers: You do not have a character." ||
                    line == "Kelvabot whispers: You do not have a charecter.";
        if (stats || reborn || none) {
          if (!stats && !reborn) ++noCharacter;
          if (p.waiting.empty()) {
            ++unexpected;
            continue;
          }
          const double ms = std::chrono::duration<double, std::milli>(got - p.waiting.front()).count();
          (p.storm ? stormLatencies : latencies).push_back(ms);
          p.waiting.pop_front();
          ++replies;
          lastReply = got;
        }
      }
    }
  }

  countSaves();
  countingSaves = false;
  for (Player& p : crowd) ::close(p.fd);
  bot.writeLine("close");
  bot.waitExit(std::chrono::seconds(10));
  server.signal(SIGTERM);
  server.waitExit(std::chrono::seconds(5));

  std::printf("players %d, %d s, one /stats a second each", players - storm, seconds);
  if (storm > 0) std::printf("; %d more send %s %.1f times a second", storm, stormCommand.c_str(), stormRate);
  std::printf("; roster %d characters\n", roster);
  std::printf("commands sent %llu, replies received %llu, lost %llu, unexpected %llu, dropped by the world %llu\n",
              static_cast<unsigned long long>(sent), static_cast<unsigned long long>(replies),
              static_cast<unsigned long long>(sent - replies - dropped), static_cast<unsigned long long>(unexpected),
              static_cast<unsigned long long>(dropped));
  std::printf("of the replies, %llu said \"You do not have a character.\" (characters past roster slot 100)\n",
              static_cast<unsigned long long>(noCharacter));
  std::printf("chat to whisper (/stats): median %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(latencies, 0.5),
              percentile(latencies, 0.99), percentile(latencies, 1.0));
  if (storm > 0) {
    std::printf("chat to whisper (%s): median %.1f ms, p99 %.1f ms, max %.1f ms\n", stormCommand.c_str(),
                percentile(stormLatencies, 0.5), percentile(stormLatencies, 0.99), percentile(stormLatencies, 1.0));
  }
  std::printf("last reply %.0f ms after the last command was sent\n",
              std::chrono::duration<double, std::milli>(lastReply - stopSending).count());
  std::printf("stats.txt replaced %llu times while commands were sent (%.1f a second), %llu in all\n",
              static_cast<unsigned long long>(statsSavesSending),
              static_cast<double>(statsSavesSending) / seconds, static_cast<unsigned long long>(statsSaves));
  if (watch >= 0) ::close(watch);
  if (sent != replies + dropped) {
    std::printf("the logs are kept in %s\n", dir.string().c_str());
    return 1;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
