#include "world/ports/socket_connection.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "world/line_client.h"
#include "world/ports/listener.h"

namespace kelva::world {
namespace {

using kelva::testing::LineClient;
using std::chrono::milliseconds;

// A line connection that, on the line "wait N", reads nothing further for N
// milliseconds, as a port does while a password is checked, and sends every
// other line back.
class WaitingConnection : public SocketConnection {
 public:
  WaitingConnection(ConnectionHub& hub, tcp::socket socket, std::size_t maxLine)
      : SocketConnection(hub, std::move(socket), maxLine, 1 << 20, "\n") {}
  std::string describe() const override { return "test connection"; }
  void sayGoodbye(const std::string&) override {}

 protected:
  void onLine(std::string_view line) override {
    if (line.starts_with("wait "))
      pauseFor(milliseconds(std::stoi(std::string(line.substr(5)))), [] {});
    else
      send(line);
  }
  void onOverlong() override {}
  void onClosed() override {}
};

class WaitingPort : public Listener {
 public:
  WaitingPort(ConnectionHub& hub, std::size_t maxLine) : Listener(hub, "test"), maxLine_(maxLine) {}

 protected:
  void accepted(tcp::socket socket) override {
    std::make_shared<WaitingConnection>(hub_, std::move(socket), maxLine_)->start();
  }

 private:
  std::size_t maxLine_;
};

// What a client sends while its connection waits is held within one line's
// worth (the line limit and its end), counted until each line is taken: a
// held line that starts another wait leaves the lines behind it counted, and
// they come through whole and in order once the waits are over.
TEST(SocketConnection, WhatIsHeldWhileItWaitsIsBoundedToOneLinesWorthAcrossWaits) {
  constexpr std::size_t kMaxLine = 100;
  struct Case {
    std::size_t last;  // bytes of the last line sent
    bool closed;
  };
  // Held in the first wait: "wait 300" and its end (9), the 59-byte line
  // and its end (60), then the last line and its end, against 101.
  for (const Case& c : {Case{kMaxLine - 69, false}, Case{kMaxLine - 68, true}}) {
    asio::io_context io;
    std::ostringstream log;
    ConnectionLimits limits;
    ConnectionHub hub(io, log, limits, 10);
    WaitingPort port(hub, kMaxLine);
    ASSERT_TRUE(port.open("127.0.0.1", 0).isOk());
    auto work = asio::make_work_guard(io);
    std::thread loop([&] { io.run(); });

    LineClient client(port.port());
    const std::string middle(59, 'x');
    const std::string last(c.last, 'y');
    client.sendRaw("wait 100\nwait 300\n" + middle + "\n" + last + "\n");
    if (c.closed) {
      EXPECT_TRUE(client.closedByServer(milliseconds(2000))) << c.last;
    } else {
      EXPECT_TRUE(client.waitForLine(middle, milliseconds(3000))) << c.last;
      EXPECT_TRUE(client.waitForLine(last, milliseconds(1000))) << c.last;
    }

    asio::post(io, [&] {
      hub.stopped = true;
      port.closeListener();
      for (const auto& connection : std::set(hub.connections)) connection->close("the test ends");
      work.reset();
    });
    loop.join();
  }
}

}  // namespace
}  // namespace kelva::world
