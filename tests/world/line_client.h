// A blocking line client for the world server's tests: connects to a port on
// this machine and reads lines with a time limit, so a missing line fails the
// test instead of hanging it.
#pragma once

#include <arpa/inet.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelva::testing {

class LineClient {
 public:
  // `from` is the loopback address the client connects from (127.0.0.x).
  explicit LineClient(uint16_t port, const char* from = nullptr) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      ::inet_pton(AF_INET, from, &local.sin_addr);
      ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~LineClient() { close(); }
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  bool connected() const { return connected_; }
  // Connected, and not closed by either side.
  bool open() const { return connected_ && fd_ >= 0 && !eof_; }
  int fd() const { return fd_; }
  // Goes deaf as a cut cable would: every packet that arrives is dropped, so
  // the socket answers nothing (no ACK, no RST) and, unused, sends nothing.
  bool vanish() {
    sock_filter dropAll[] = {BPF_STMT(BPF_RET | BPF_K, 0)};
    sock_fprog program{1, dropAll};
    return ::setsockopt(fd_, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void sendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  void send(std::string_view line) { sendRaw(std::string(line) + "\n"); }

  // The next line without its line end; nullopt when none comes in time or
  // the server closed the connection.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !fill(left)) return std::nullopt;
    }
  }

  // Reads until a line satisfies `wanted`; the lines passed over are kept in
  // `skipped`. nullopt when no such line comes in time.
  std::optional<std::string> waitFor(const std::function<bool(const std::string&)>& wanted,
                                     std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      std::optional<std::string> line = readLine(left);
      if (!line) return std::nullopt;
      if (wanted(*line)) return line;
      skipped.push_back(*line);
    }
  }
  bool waitForLine(const std::string& exact, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    return waitFor([&](const std::string& l) { return l == exact; }, timeout).has_value();
  }
  std::optional<std::string> waitForContaining(const std::string& part,
                                               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    return waitFor([&](const std::string& l) { return l.find(part) != std::string::npos; }, timeout);
  }

  // Every line that arrives until the connection is quiet for `quiet`.
  std::vector<std::string> drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300)) {
    std::vector<std::string> lines;
    while (std::optional<std::string> l = readLine(quiet)) lines.push_back(*l);
    return lines;
  }

  // Whether the server has closed the connection (reading what is left).
  bool closedByServer(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (eof_) return true;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      buffer_.clear();
      fill(left);
    }
    return eof_;
  }

  std::vector<std::string> skipped;

 private:
  bool fill(std::chrono::milliseconds timeout) {
    if (eof_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char chunk[65536];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  bool eof_ = false;
  std::string buffer_;
};

}  // namespace kelva::testing
