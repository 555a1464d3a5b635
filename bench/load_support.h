// What the load runs share: a player's socket on loopback, latencies in a
// histogram, and the CPU time and load average read from /proc.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "world/child_process.h"

namespace kelva::bench {

// A connection to `port` on loopback with Nagle's delay off, or -1.
inline int connectTo(uint16_t port) {
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

// Sends one line; a load run counts what comes back, not what fails to go.
inline void sendLine(int fd, const std::string& line) {
  std::string bytes = line + "\n";
  ssize_t ignored = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  (void)ignored;
}

// Latencies in tenths of a millisecond up to 20 s; a run may collect
// millions of them.
class Histogram {
 public:
  void add(double ms) {
    std::size_t i = static_cast<std::size_t>(std::max(0.0, ms) * 10.0);
    ++counts_[std::min(i, counts_.size() - 1)];
    ++total_;
  }
  uint64_t total() const { return total_; }
  double percentile(double p) const {
    if (total_ == 0) return 0;
    uint64_t want = static_cast<uint64_t>(p * static_cast<double>(total_ - 1)) + 1;
    uint64_t seen = 0;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
      seen += counts_[i];
      if (seen >= want) return static_cast<double>(i) / 10.0;
    }
    return static_cast<double>(counts_.size()) / 10.0;
  }

 private:
  std::vector<uint64_t> counts_ = std::vector<uint64_t>(200000);
  uint64_t total_ = 0;
};

// A process's CPU time so far, in seconds, from /proc.
inline double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (char c : text.substr(close + 2)) {
    if (c == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  // After the name: state is field 3, utime 14 and stime 15 (counting from 1).
  if (fields.size() < 13) return 0;
  double ticks = std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

inline double loadAverage() {
  std::ifstream in("/proc/loadavg");
  double one = 0;
  in >> one;
  return one;
}

// Gives the bot on `bot` the seven start-up answers of the load world and
// waits for it to be in the world; false (and says why) when it is not.
inline bool logInLoadBot(kelva::testing::ChildProcess& bot, kelva::testing::ChildProcess& server) {
  for (const char* answer : {"1", "pw", "LoadWorld", "Kelvabot", "0", "0", "0"}) bot.writeLine(answer);
  if (!bot.waitForOutput("Complete", std::chrono::seconds(10)) &&
      server.errorText().find("logged in as session") == std::string::npos) {
    std::cerr << "the bot did not log in:\n" << bot.errorText();
    return false;
  }
  return true;
}

}  // namespace kelva::bench
