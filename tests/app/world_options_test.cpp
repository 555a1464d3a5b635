#include <gtest/gtest.h>

#include "app/options.h"

namespace kelva::app {
namespace {

Result<Options> parse(std::vector<std::string> args) { return parseOptions(args); }

TEST(WorldOptions, WorldTakesHostAndPortIncludingBracketedIpv6) {
  Result<Options> r = parse({"--world", "127.0.0.1:7778"});
  ASSERT_TRUE(r.isOk()) << r.status().message();
  EXPECT_EQ(r.value().worldHost, "127.0.0.1");
  EXPECT_EQ(r.value().worldPort, "7778");

  r = parse({"--world=[::1]:9000", "--headless"});
  ASSERT_TRUE(r.isOk()) << r.status().message();
  EXPECT_EQ(r.value().worldHost, "::1");
  EXPECT_EQ(r.value().worldPort, "9000");

  for (const char* bad : {"localhost", ":7778", "host:", "host:0", "host:65536", "host:+5", "host:7a"}) {
    Result<Options> refused = parse({"--world", bad});
    EXPECT_FALSE(refused.isOk()) << bad;
  }
}

TEST(WorldOptions, OnlyOneWorldAndNoneWithAScript) {
  EXPECT_FALSE(parse({"--world", "h:1", "--simulated"}).isOk());
  EXPECT_FALSE(parse({"--world", "h:1", "--world-file", "w.json"}).isOk());
  EXPECT_FALSE(parse({"--script", "s", "--world", "h:1"}).isOk());
  EXPECT_FALSE(parse({"--script", "s", "--player-port", "7777"}).isOk());
  EXPECT_FALSE(parse({"--world", "h:1", "--player-port", "7777"}).isOk());
  EXPECT_FALSE(parse({"--simulated", "--web-port", "0"}).isOk());
  EXPECT_FALSE(parse({"--script", "s", "--web-port", "0"}).isOk());

  Result<Options> hosted = parse({"--world-file", "w.json", "--player-port", "0"});
  ASSERT_TRUE(hosted.isOk()) << hosted.status().message();
  EXPECT_EQ(hosted.value().worldFile, "w.json");
  EXPECT_EQ(hosted.value().playerPort, 0);
  EXPECT_FALSE(hosted.value().webPort.has_value());
  EXPECT_EQ(parse({"--web-port", "65535"}).value().webPort, 65535);
  EXPECT_FALSE(parse({"--player-port", "70000"}).isOk());
  EXPECT_FALSE(parse({"--web-port", "65536"}).isOk());

  // "off" means no line port at all, and is a port option like the others;
  // a number after it turns the port back on.
  Result<Options> off = parse({"--player-port", "off"});
  ASSERT_TRUE(off.isOk()) << off.status().message();
  EXPECT_TRUE(off.value().playerPortOff);
  EXPECT_FALSE(off.value().playerPort.has_value());
  EXPECT_FALSE(parse({"--player-port", "0"}).value().playerPortOff);
  Result<Options> again = parse({"--player-port", "off", "--player-port", "0"});
  EXPECT_FALSE(again.value().playerPortOff);
  EXPECT_EQ(again.value().playerPort, 0);
  EXPECT_FALSE(parse({"--world", "h:1", "--player-port", "off"}).isOk());
  EXPECT_FALSE(parse({"--script", "s", "--player-port", "off"}).isOk());
  EXPECT_FALSE(parse({"--web-port", "off"}).isOk());
}

TEST(WorldOptions, TestTimerIsBoundedAndOffByDefault) {
  EXPECT_FALSE(parse({}).value().testTimer2Ms.has_value());
  EXPECT_EQ(parse({"--test-timer2-ms", "10"}).value().testTimer2Ms, 10);
  EXPECT_FALSE(parse({"--test-timer2-ms", "0"}).isOk());
  EXPECT_FALSE(parse({"--test-timer2-ms", "5000"}).isOk());
}

TEST(WorldOptions, CertificateAndKeyGoTogetherAndNotWithAScript) {
  const Result<Options> both = parse({"--tls-cert", "c.pem", "--tls-key=c.key"});
  ASSERT_TRUE(both.isOk()) << both.status().message();
  EXPECT_EQ(both.value().tlsCertificate, "c.pem");
  EXPECT_EQ(both.value().tlsKey, "c.key");
  EXPECT_FALSE(parse({"--tls-cert", "c.pem"}).isOk());
  EXPECT_FALSE(parse({"--tls-key", "c.key"}).isOk());
  EXPECT_FALSE(parse({"--tls-cert", "", "--tls-key", "c.key"}).isOk());
  EXPECT_FALSE(parse({"--script", "s", "--tls-cert", "c.pem", "--tls-key", "c.key"}).isOk());
}

}  // namespace
}  // namespace kelva::app
