// Preloaded into every test of the suite (LD_PRELOAD): the ports a game
// hosted on this machine listens on (the player, bot, web and console ports'
// defaults) are the operator's, so a test that binds one aborts with a line
// that names it, whether or not the port happens to be free. With
// KELVA_PORT_GUARD=taken those ports are refused with EADDRINUSE instead, as
// if a game held them: a test of the fallback to free ports runs so.
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kHostedGamePorts[] = {7777, 7778, 7780, 7781};

int portOf(const sockaddr* address, socklen_t length) {
  if (address == nullptr) return 0;
  if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
  }
  if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
  }
  return 0;
}

bool isHostedGamePort(int port) {
  for (int hosted : kHostedGamePorts) {
    if (port == hosted) return true;
  }
  return false;
}

}  // namespace

extern "C" int bind(int fd, const sockaddr* address, socklen_t length) {
  using BindFunction = int (*)(int, const sockaddr*, socklen_t);
  static const BindFunction realBind = reinterpret_cast<BindFunction>(dlsym(RTLD_NEXT, "bind"));
  const int port = portOf(address, length);
  if (isHostedGamePort(port)) {
    const char* mode = std::getenv("KELVA_PORT_GUARD");
    if (mode != nullptr && std::strcmp(mode, "taken") == 0) {
      errno = EADDRINUSE;
      return -1;
    }
    dprintf(STDERR_FILENO,
            "fixed-port guard: process %d binds port %d, which a game hosted on this machine uses; "
            "tests take port 0 and read back the port\n",
            static_cast<int>(getpid()), port);
    std::abort();
  }
  return realBind(fd, address, length);
}
