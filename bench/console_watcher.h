// An operator with the console page open, for the load runs: logs in to the
// bot's console and asks what the page asks, as often as the page does (the
// state every second, the characters every ten seconds, the charts every
// fifteen), on a thread of its own until stopped. Plain HTTP over loopback
// sockets, a connection per request.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "bench/load_support.h"

namespace kelva::bench {

class ConsoleWatcher {
 public:
  ConsoleWatcher(uint16_t port, std::string password) : port_(port), password_(std::move(password)) {
    thread_ = std::thread([this] { run(); });
  }
  ~ConsoleWatcher() { stop(); }
  void stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  uint64_t requests() const { return requests_; }
  uint64_t failures() const { return failures_; }
  bool loggedIn() const { return !cookie_.empty(); }

 private:
  // The status and the whole answer (headers and body) of one request.
  std::pair<int, std::string> ask(const std::string& method, const std::string& target, const std::string& body) {
    int fd = connectTo(port_);
    if (fd < 0) return {0, ""};
    std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!cookie_.empty()) request += "Cookie: " + cookie_ + "\r\n";
    request += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    ++requests_;
    const int status = answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0;
    if (status != 200) ++failures_;
    return {status, answer};
  }

  void run() {
    auto [status, answer] = ask("POST", "/api/login", "{\"password\":\"" + password_ + "\"}");
    const std::size_t at = answer.find("kelva_console=");
    if (status != 200 || at == std::string::npos) return;
    cookie_ = answer.substr(at, answer.find(';', at) - at);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (int tick = 0; !stop_; ++tick) {
      ask("GET", "/api/state?list1=0&activity=" + std::to_string(activity_), "");
      if (tick % 10 == 0) ask("GET", "/api/characters", "");
      if (tick % 15 == 0) ask("GET", "/api/charts", "");
      std::this_thread::sleep_until(start + std::chrono::seconds(tick + 1));
    }
  }

  uint16_t port_;
  std::string password_;
  std::string cookie_;
  uint64_t activity_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> requests_{0};
  std::atomic<uint64_t> failures_{0};
  std::thread thread_;
};

}  // namespace kelva::bench
