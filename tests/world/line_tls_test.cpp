#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "support/temp_folder.h"
#include "world/server_fixture.h"
#include "world/tls_handshake.h"
#include "world/tls_world.h"
#include "world/web_client.h"

namespace kelva::world {
namespace {

namespace fs = std::filesystem;
namespace asio = boost::asio;
namespace ssl = boost::asio::ssl;
using tcp = asio::ip::tcp;
using kelva::testing::enter;
using kelva::testing::handshake;
using kelva::testing::makeCertificate;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;
using kelva::testing::TlsWorld;
using kelva::testing::trusting;

// A player on the line port over TLS, as openssl s_client would be.
class TlsLineClient {
 public:
  TlsLineClient(uint16_t port, ssl::context& trust) : stream_(io_, trust) {
    stream_.set_verify_callback(ssl::host_name_verification("127.0.0.1"));
    kelva::testing::connectWeb(stream_, port);
  }
  void send(const std::string& line) { asio::write(stream_, asio::buffer(line + "\r\n")); }
  // Reads lines until one holds `part`; false when the connection ends or
  // goes quiet for the whole wait first.
  bool waitForContaining(const std::string& part, std::chrono::milliseconds = {}) {
    for (;;) {
      auto ec = kelva::testing::finishWithin(
          stream_, [&](auto done) { asio::async_read_until(stream_, asio::dynamic_buffer(buffer_), "\r\n", done); });
      if (ec) return false;
      const std::size_t n = buffer_.find("\r\n") + 2;
      const std::string line = buffer_.substr(0, n - 2);
      buffer_.erase(0, n);
      if (line.find(part) != std::string::npos) return true;
    }
  }
  bool waitForLine(const std::string& line, std::chrono::milliseconds = {}) { return waitForContaining(line); }

 private:
  asio::io_context io_;
  ssl::stream<tcp::socket> stream_;
  std::string buffer_;
};

// What a clear-text client reads before the port closes, and how long that took.
struct ClearAnswer {
  std::string text;
  boost::system::error_code end;
  std::chrono::steady_clock::duration took;
};
ClearAnswer clearClient(uint16_t port, const std::string& sent) {
  asio::io_context io;
  tcp::socket socket(io);
  kelva::testing::connectWeb(socket, port);
  const auto began = std::chrono::steady_clock::now();
  if (!sent.empty()) asio::write(socket, asio::buffer(sent));
  ClearAnswer answer;
  asio::read(socket, asio::dynamic_buffer(answer.text), answer.end);
  answer.took = std::chrono::steady_clock::now() - began;
  return answer;
}

// A registered player logs in with a password and plays over TLS; a renewed
// certificate reaches new connections while the players in the world stay.
TEST(LineTls, PlayersLogInAndPlayOverTlsAndKeepPlayingAcrossAReload) {
  TlsWorld world;
  ASSERT_TRUE(world.start("world", std::chrono::seconds(10), true)) << "the test certificate could not be made with the openssl command";
  const uint16_t port = world.server().playerPort();
  EXPECT_NE(world.server().log().find("players on 127.0.0.1:" + std::to_string(port) + " (TLS)"), std::string::npos);
  // The versions spoken are the web port's test: both ports share one context.
  auto trust = trusting(world.pem("world"));

  TlsLineClient ann(port, *trust);
  enter(ann, "Ann", "annpw");
  TlsLineClient bob(port, *trust);
  enter(bob, "Bob");
  ann.send("hello over tls");
  EXPECT_TRUE(bob.waitForContaining("Ann: hello over tls"));

  ASSERT_TRUE(makeCertificate(world.folder().path, "renewed"));
  fs::copy_file(world.pem("renewed"), world.pem("world"), fs::copy_options::overwrite_existing);
  fs::copy_file(world.key("renewed"), world.key("world"), fs::copy_options::overwrite_existing);
  EXPECT_EQ(world.server().reloadTls(), "");
  EXPECT_FALSE(handshake(port, *trusting(world.pem("renewed"))));
  EXPECT_TRUE(handshake(port, *trust));
  bob.send("still here");
  // A guest is shown with its name in quotes.
  EXPECT_TRUE(ann.waitForContaining("\"Bob\": still here"));
}

// A client that speaks clear text, or says nothing, or never finishes its
// handshake is answered or let go within the handshake's deadline.
TEST(LineTls, ClearTextAndUnfinishedHandshakesGetABoundedAnswer) {
  TlsWorld world;
  ASSERT_TRUE(world.start("world", std::chrono::milliseconds(500), true))
      << "the test certificate could not be made with the openssl command";
  const uint16_t port = world.server().playerPort();

  ClearAnswer typed = clearClient(port, "Ann\r\n");
  EXPECT_EQ(typed.text, "* This port speaks TLS: connect with a TLS client, such as openssl s_client -quiet -connect "
                        "127.0.0.1:" + std::to_string(port) + "\r\n");
  EXPECT_EQ(typed.end, asio::error::eof);
  EXPECT_LT(typed.took, std::chrono::milliseconds(400));

  for (const std::string& sent : {std::string(), std::string("\x16\x03\x01\x00\xff", 5)}) {
    ClearAnswer silent = clearClient(port, sent);
    EXPECT_EQ(silent.text, "");
    EXPECT_EQ(silent.end, asio::error::eof);
    EXPECT_GE(silent.took, std::chrono::milliseconds(400));
    EXPECT_LT(silent.took, std::chrono::milliseconds(2500));
  }
}

TEST(LineTls, APlayerPortOffOpensNoLinePortAndTlsNeedsACertificateAndAPort) {
  ServerOptions options = ServerRunner::freePorts();
  options.playerPort.reset();
  ServerRunner noLine(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(noLine.started()) << noLine.log();
  EXPECT_EQ(noLine.playerPort(), 0);
  // Browsers still come in.
  kelva::testing::WebClient web(noLine.webPort());
  EXPECT_EQ(web.next("welcome")["world"], "Testworld");

  asio::io_context io;
  std::ostringstream log;
  options = ServerRunner::freePorts();
  options.playerTls = true;
  WorldServer withoutCertificate(io, kelva::testing::demoDefinition(), options, log);
  Status s = withoutCertificate.start();
  EXPECT_NE(s.message().find("without a certificate"), std::string::npos) << s.message();

  TempFolder folder("kelva_line_tls_off");
  ASSERT_TRUE(makeCertificate(folder.path, "a"));
  options.webTls = {(folder.path / "a.pem").string(), (folder.path / "a.key").string()};
  options.playerPort.reset();
  WorldServer withoutPort(io, kelva::testing::demoDefinition(), options, log);
  s = withoutPort.start();
  EXPECT_NE(s.message().find("no player port"), std::string::npos) << s.message();
}

}  // namespace
}  // namespace kelva::world
