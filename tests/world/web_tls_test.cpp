#include "world/ports/web_tls.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "support/temp_folder.h"
#include "support/test_certificate.h"
#include "world/server_fixture.h"
#include "world/tls_handshake.h"
#include "world/tls_world.h"
#include "world/web_client.h"

namespace kelva::world {
namespace {

namespace fs = std::filesystem;
namespace asio = boost::asio;
using tcp = asio::ip::tcp;
namespace ssl = boost::asio::ssl;
using kelva::testing::ask;
using kelva::testing::enter;
using kelva::testing::handshake;
using kelva::testing::LineClient;
using kelva::testing::makeCertificate;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;
using kelva::testing::TlsWebClient;
using kelva::testing::TlsWorld;
using kelva::testing::trusting;
using TlsSocket = ssl::stream<tcp::socket>;

TEST(WebTls, ServesThePageAndTheGameToAClientThatTrustsTheCertificate) {
  TlsWorld world;
  ASSERT_TRUE(world.start("world")) << "the test certificate could not be made with the openssl command";
  const uint16_t port = world.server().webPort();
  EXPECT_NE(world.server().log().find("browsers on https://127.0.0.1:" + std::to_string(port) + "/"),
            std::string::npos);
  auto trust = trusting(world.pem("world"));
  {
    asio::io_context io;
    TlsSocket stream(io, *trust);
    kelva::testing::connectWeb(stream, port);
    kelva::testing::Answer page = ask(stream, "/");
    EXPECT_EQ(page.status, 200u);
    EXPECT_EQ(page.type, "text/html; charset=utf-8");
    // The same connection goes on to the next file.
    EXPECT_EQ(ask(stream, "/kelva.js").status, 200u);
  }
  // TLS 1.2 is spoken. (That 1.1 is not cannot be told here: the system's
  // OpenSSL refuses it on both sides whatever the world's floor.)
  EXPECT_FALSE(handshake(port, *trusting(world.pem("world"), TLS1_2_VERSION)));
  // A client that trusts another certificate refuses this one.
  ASSERT_TRUE(makeCertificate(world.folder().path, "stranger"));
  EXPECT_TRUE(handshake(port, *trusting(world.pem("stranger"))));

  TlsWebClient web(port, *trust);
  EXPECT_EQ(web.next("welcome")["world"], "Testworld");
  web.send(R"({"type":"login","name":"Ann","password":"annpw"})");
  EXPECT_EQ(web.next("entered")["name"], "Ann");
  LineClient line(world.server().playerPort());
  enter(line, "Line");
  web.send(R"({"type":"chat","text":"over tls"})");
  EXPECT_TRUE(line.waitForLine("Ann: over tls"));
}

// A renewed certificate reaches new connections at once; the players already
// in the world keep playing, and a broken renewal changes nothing.
TEST(WebTls, AReloadGivesNewConnectionsTheNewCertificateAndKeepsPlayers) {
  TlsWorld world;
  ASSERT_TRUE(world.start("world")) << "the test certificate could not be made with the openssl command";
  const uint16_t port = world.server().webPort();
  auto oldTrust = trusting(world.pem("world"));
  TlsWebClient web(port, *oldTrust);
  web.next("welcome");
  web.send(R"({"type":"login","name":"mira"})");
  ASSERT_FALSE(web.next("entered").is_null());

  ASSERT_TRUE(makeCertificate(world.folder().path, "renewed"));
  fs::copy_file(world.pem("renewed"), world.pem("world"), fs::copy_options::overwrite_existing);
  fs::copy_file(world.key("renewed"), world.key("world"), fs::copy_options::overwrite_existing);
  EXPECT_EQ(world.server().reloadTls(), "");
  auto newTrust = trusting(world.pem("renewed"));
  EXPECT_FALSE(handshake(port, *newTrust));
  EXPECT_TRUE(handshake(port, *oldTrust));
  web.send(R"({"type":"chat","text":".where"})");
  EXPECT_FALSE(web.next("world").is_null());
  TlsWebClient newcomer(port, *newTrust);
  newcomer.next("welcome");

  // A key that is not the certificate's: refused with the reason, and the
  // renewed certificate stays.
  ASSERT_TRUE(makeCertificate(world.folder().path, "other"));
  fs::copy_file(world.key("other"), world.key("world"), fs::copy_options::overwrite_existing);
  EXPECT_NE(world.server().reloadTls().find("is not the key of the certificate"), std::string::npos);
  world.folder().write("world.pem", "not a certificate");
  EXPECT_NE(world.server().reloadTls().find("cannot use the certificate"), std::string::npos);
  EXPECT_FALSE(handshake(port, *newTrust));
}

// The wrong protocol on either kind of web port gets a short answer and the
// connection's end, well within the time a browser waits.
TEST(WebTls, TheWrongProtocolIsAnsweredAndLetGo) {
  TlsWorld world;
  ASSERT_TRUE(world.start("world", std::chrono::milliseconds(500)))
      << "the test certificate could not be made with the openssl command";
  const uint16_t port = world.server().webPort();
  const std::string https = "This port speaks HTTPS: use https://127.0.0.1:" + std::to_string(port) + "/\n";
  {
    asio::io_context io;
    tcp::socket socket(io);
    kelva::testing::connectWeb(socket, port);
    // The request's own Host, as the browser's address bar had it.
    kelva::testing::Answer answer = ask(socket, "/");
    EXPECT_EQ(answer.status, 400u);
    EXPECT_EQ(answer.body, "This port speaks HTTPS: use https://127.0.0.1/\n");
  }
  {
    asio::io_context io;
    tcp::socket socket(io);
    kelva::testing::connectWeb(socket, port);
    asio::write(socket, asio::buffer(std::string("hello\r\n\r\n")));
    std::string reply;
    boost::system::error_code ec;
    asio::read(socket, asio::dynamic_buffer(reply), ec);
    EXPECT_EQ(ec, asio::error::eof);
    EXPECT_NE(reply.find("400 Bad Request"), std::string::npos);
    EXPECT_NE(reply.find(https), std::string::npos) << reply;
  }
  // A ClientHello that never finishes is let go at the handshake's deadline.
  {
    asio::io_context io;
    tcp::socket socket(io);
    kelva::testing::connectWeb(socket, port);
    asio::write(socket, asio::buffer(std::string("\x16\x03\x01\x00\xff", 5)));
    const auto began = std::chrono::steady_clock::now();
    char byte;
    boost::system::error_code ec;
    socket.read_some(asio::buffer(&byte, 1), ec);
    EXPECT_EQ(ec, asio::error::eof);
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, std::chrono::milliseconds(400));
    EXPECT_LT(took, std::chrono::milliseconds(2500));
  }

  // TLS to a clear port: closed at once, with nothing said in clear text.
  ServerRunner plain;
  ASSERT_TRUE(plain.started()) << plain.log();
  auto trust = trusting(world.pem("world"));
  const auto began = std::chrono::steady_clock::now();
  EXPECT_TRUE(handshake(plain.webPort(), *trust));
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
}

TEST(WebTls, AWorldDoesNotOpenWithACertificateItCannotUse) {
  TempFolder folder("kelva_web_tls_bad");
  ASSERT_TRUE(makeCertificate(folder.path, "a"));
  ASSERT_TRUE(makeCertificate(folder.path, "b"));
  ServerOptions options = ServerRunner::freePorts();
  options.webTls = {(folder.path / "a.pem").string(), (folder.path / "b.key").string()};
  asio::io_context io;
  std::ostringstream log;
  WorldServer mismatched(io, kelva::testing::demoDefinition(), options, log);
  Status s = mismatched.start();
  ASSERT_FALSE(s.isOk());
  // A missing file is named by the same loader: the console's TLS test.
  EXPECT_NE(s.message().find("b.key is not the key of the certificate"), std::string::npos) << s.message();
}

}  // namespace
}  // namespace kelva::world
