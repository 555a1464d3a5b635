// The world's /metrics: a monitoring system's parser reads what happened in
// a short scripted game, and only this machine may read it.
#include "world/ports/world_metrics.h"

#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <boost/asio.hpp>

#include "support/prometheus_parse.h"
#include "world/server_fixture.h"
#include "world/web_client.h"

namespace kelva::world {
namespace {

using kelva::testing::holdsSample;
using kelva::testing::LineClient;
using kelva::testing::ServerRunner;
namespace asio = boost::asio;

TEST(WorldMetrics, ARealParserReadsTheLogInsRefusalsAndConnections) {
  ServerRunner server;
  ASSERT_TRUE(server.started()) << server.log();
  LineClient ann(server.playerPort());
  kelva::testing::enter(ann, "Ann", "annpw");
  LineClient guess(server.playerPort());
  ASSERT_TRUE(guess.waitForLine("* What is your name?"));
  for (int i = 0; i < 2; ++i) {
    guess.send("Ann");
    ASSERT_TRUE(guess.waitForContaining("Password?"));
    guess.send("not-annpw");
    ASSERT_TRUE(guess.waitForLine("* Wrong password. What is your name?"));
  }
  LineClient bot(server.botPort());
  ASSERT_EQ(kelva::testing::logInBot(bot, "wrong")["rc"], 1);

  const auto answer = kelva::testing::get(server.webPort(), "/metrics");
  ASSERT_EQ(answer.status, 200u);
  EXPECT_NE(answer.type.find("version=0.0.4"), std::string::npos) << answer.type;
  const std::string samples = kelva::testing::parsedMetrics(answer.body);
  EXPECT_TRUE(holdsSample(samples, "kelva_players_online{} 1")) << samples;
  EXPECT_TRUE(holdsSample(samples, "kelva_logins_refused_total{reason=password} 2")) << samples;
  EXPECT_TRUE(holdsSample(samples, "kelva_logins_refused_total{reason=bot} 1")) << samples;
  EXPECT_TRUE(holdsSample(samples, "kelva_logins_refused_total{reason=throttled} 0")) << samples;
  EXPECT_TRUE(holdsSample(samples, "kelva_connections{kind=line} 2")) << samples;
  EXPECT_TRUE(holdsSample(samples, "kelva_connections{kind=bot} 1")) << samples;
  // The request's own connection.
  EXPECT_TRUE(holdsSample(samples, "kelva_connections{kind=web} 1")) << samples;
}

TEST(WorldMetrics, OnlyThisMachineMayRead) {
  for (const char* address : {"127.0.0.1", "127.8.0.3", "::1", "::ffff:127.0.0.1"})
    EXPECT_TRUE(metricsAllowedFrom(asio::ip::make_address(address))) << address;
  for (const char* address : {"192.0.2.7", "10.0.0.1", "0.0.0.0", "::ffff:192.0.2.7", "2001:db8::1", "::"})
    EXPECT_FALSE(metricsAllowedFrom(asio::ip::make_address(address))) << address;
}

// An address of this machine that is not loopback, or "" when it has none.
std::string ownOtherAddress() {
  ifaddrs* all = nullptr;
  if (::getifaddrs(&all) != 0) return "";
  std::string found;
  for (ifaddrs* i = all; i && found.empty(); i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    const asio::ip::address_v4 a(ntohl(in->sin_addr.s_addr));
    if (!a.is_loopback()) found = a.to_string();
  }
  ::freeifaddrs(all);
  return found;
}

TEST(WorldMetrics, ARequestFromAnotherAddressFindsNothing) {
  const std::string address = ownOtherAddress();
  if (address.empty()) GTEST_SKIP() << "this machine has no address but loopback";
  ServerOptions options = ServerRunner::freePorts();
  options.bindAddress = address;
  ServerRunner server(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(server.started()) << server.log();
  asio::io_context io;
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::make_address(address), server.webPort()});
  asio::write(socket, asio::buffer(std::string("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")));
  std::string reply;
  boost::system::error_code ec;
  asio::read(socket, asio::dynamic_buffer(reply), ec);
  EXPECT_EQ(reply.rfind("HTTP/1.1 404", 0), 0u) << reply;
  EXPECT_EQ(reply.find("kelva_"), std::string::npos) << reply;
}

}  // namespace
}  // namespace kelva::world
