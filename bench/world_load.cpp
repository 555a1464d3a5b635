// A load run of the world server and the bot as separate processes: many
// players on loopback each send one command a second, and the run reports
// how many replies came back and how long the bot took from the chat line to
// its whisper. Not a test: scripts/bench.sh (or the binary itself) runs it.
//
//   kelva_world_load [--players N] [--seconds S]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
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

#include "world/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelva::testing::ChildProcess;

struct Player {
  int fd = -1;
  std::string name;
  std::string buffer;
  bool entered = false;
  std::deque<Clock::time_point> waiting;  // commands sent, not yet answered
  Clock::time_point nextSend;
};

int connectTo(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

void sendLine(int fd, const std::string& line) {
  std::string bytes = line + "\n";
  ssize_t ignored = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  (void)ignored;
}

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
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--players") players = std::atoi(argv[i + 1]);
    if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
  }

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelva_world_load_" + std::to_string(::getpid()));
  fs::create_directories(dir / "data");
  {
    std::ofstream world(dir / "world.json");
    world << R"({"name": "LoadWorld", "bots": [{"citizen": 1, "password": "pw"}]})";
  }

  ChildProcess server({KELVA_WORLD_PATH, (dir / "world.json").string(), "--player-port", "0", "--bot-port", "0",
                       "--max-players", "2000", "--max-per-address", "0"},
                      (dir / "world.out").string(), (dir / "world.err").string());
  if (!server.waitForOutput("Bots log in on:", std::chrono::seconds(10))) {
    std::cerr << "the world server did not start:\n" << server.errorText();
    return 1;
  }
  uint16_t playerPort = kelva::testing::portAfter(server.outputText(), "Players connect with:");
  uint16_t botPort = kelva::testing::portAfter(server.outputText(), "Bots log in on:");

  ChildProcess bot({KELVABOT_PATH, "--headless", "--world", "127.0.0.1:" + std::to_string(botPort), "--data-dir",
                    (dir / "data").string()},
                   (dir / "bot.out").string(), (dir / "bot.err").string());
  for (const char* answer : {"1", "pw", "LoadWorld", "Kelvabot", "0", "0", "0"}) bot.writeLine(answer);
  if (!bot.waitForOutput("Complete", std::chrono::seconds(10)) &&
      server.errorText().find("logged in as session") == std::string::npos) {
    std::cerr << "the bot did not log in:\n" << bot.errorText();
    return 1;
  }

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
    sendLine(p.fd, p.name);
  }

  uint64_t sent = 0;
  uint64_t replies = 0;
  uint64_t unexpected = 0;
  uint64_t noCharacter = 0;
  std::vector<double> latencies;
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
        start = now + std::chrono::seconds(2);
        stopSending = start + std::chrono::seconds(seconds);
        for (std::size_t i = 0; i < crowd.size(); ++i)
          crowd[i].nextSend = start + std::chrono::microseconds(1000000 * i / crowd.size());
      }
    }
    if (sending) {
      for (Player& p : crowd) {
        if (now >= p.nextSend && p.nextSend < stopSending) {
          sendLine(p.fd, "/stats");
          p.waiting.push_back(Clock::now());
          p.nextSend += std::chrono::seconds(1);
          ++sent;
        }
      }
      bool pending = std::any_of(crowd.begin(), crowd.end(), [](const Player& p) { return !p.waiting.empty(); });
      if (now >= stopSending && (!pending || now >= stopSending + std::chrono::seconds(5))) break;
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
        // The first line of the bot's answer to /stats: the statistics, or,
        // for a player whose character lies past roster slot 100 (the game
        // looks players up in slots 0 to 100 only), that there is none.
        bool stats = line.rfind("Kelvabot whispers: stats: ", 0) == 0;
        if (stats || line == "Kelvabot whispers: You do not have a character.") {
          if (!stats) ++noCharacter;
          if (p.waiting.empty()) {
            ++unexpected;
            continue;
          }
          latencies.push_back(std::chrono::duration<double, std::milli>(got - p.waiting.front()).count());
          p.waiting.pop_front();
          ++replies;
        }
      }
    }
  }

  for (Player& p : crowd) ::close(p.fd);
  bot.writeLine("close");
  bot.waitExit(std::chrono::seconds(10));
  server.signal(SIGTERM);
  server.waitExit(std::chrono::seconds(5));

  std::printf("players %d, %d s, one /stats a second each\n", players, seconds);
  std::printf("commands sent %llu, replies received %llu, lost %llu, unexpected %llu\n",
              static_cast<unsigned long long>(sent), static_cast<unsigned long long>(replies),
              static_cast<unsigned long long>(sent - replies), static_cast<unsigned long long>(unexpected));
  std::printf("of the replies, %llu said \"You do not have a character.\" (characters past roster slot 100)\n",
              static_cast<unsigned long long>(noCharacter));
  std::printf("chat to whisper: median %.1f ms, p99 %.1f ms, max %.1f ms\n", percentile(latencies, 0.5),
              percentile(latencies, 0.99), percentile(latencies, 1.0));
  if (sent != replies) {
    std::printf("the logs are kept in %s\n", dir.string().c_str());
    return 1;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
