#include "world/guards/keep_alive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

namespace kelva::world {

std::string applyKeepAlive(int fd, const ConnectionLimits::KeepAlive& k) {
  const int on = 1;
  // Without it, data sent to a vanished peer is retried for about fifteen
  // minutes before the connection fails; keep-alive alone does not cover it.
  const uint64_t totalMs =
      (static_cast<uint64_t>(k.idleSeconds) + static_cast<uint64_t>(k.intervalSeconds) * k.probes) * 1000u;
  const unsigned userTimeoutMs = static_cast<unsigned>(std::min<uint64_t>(totalMs, UINT_MAX));
  struct Option {
    int level;
    int name;
    const void* value;
    socklen_t size;
    const char* what;
  };
  const Option options[] = {
      {SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "SO_KEEPALIVE"},
      {IPPROTO_TCP, TCP_KEEPIDLE, &k.idleSeconds, sizeof k.idleSeconds, "TCP_KEEPIDLE"},
      {IPPROTO_TCP, TCP_KEEPINTVL, &k.intervalSeconds, sizeof k.intervalSeconds, "TCP_KEEPINTVL"},
      {IPPROTO_TCP, TCP_KEEPCNT, &k.probes, sizeof k.probes, "TCP_KEEPCNT"},
      {IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs, "TCP_USER_TIMEOUT"},
  };
  for (const Option& o : options)
    if (::setsockopt(fd, o.level, o.name, o.value, o.size) != 0)
      return std::string("cannot set ") + o.what + ": " + std::strerror(errno);
  return "";
}

bool peerLongSilent(int fd, const ConnectionLimits::KeepAlive& k) {
  tcp_info info{};
  socklen_t size = sizeof info;
  if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return false;
  // Only a connection that is established has a peer to lose.
  if (info.tcpi_state != TCP_ESTABLISHED && info.tcpi_state != TCP_CLOSE_WAIT) return false;
  const uint64_t silentMs = std::min(info.tcpi_last_ack_recv, info.tcpi_last_data_recv);
  const uint64_t allowedMs =
      (static_cast<uint64_t>(k.idleSeconds) + static_cast<uint64_t>(k.intervalSeconds) * k.probes) * 1000u;
  return silentMs > allowedMs;
}

}  // namespace kelva::world
