#include <gtest/gtest.h>

#include <boost/beast/ssl.hpp>
#include <nlohmann/json.hpp>

#include "app/online_avatars.h"
#include "auth/password_hash.h"
#include "console/console_actions.h"
#include "console/web/console_client.h"
#include "console/web/console_server.h"
#include "support/game_fixture.h"
#include "support/temp_folder.h"
#include "support/test_certificate.h"

namespace kelva::console::web {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = boost::asio::ssl;
using tcp = boost::asio::ip::tcp;

using Answer = kelva::testing::ConsoleAnswer;
using Ask = kelva::testing::ConsoleAsk;

// A console on port 0 that speaks HTTPS with a certificate made for the test.
class ConsoleTlsTest : public ::testing::Test {
 protected:
  ConsoleTlsTest() : folder("kelva_console_tls"), api(*g.form, *g.router, nullptr, &metrics, &online) {
    made = kelva::testing::makeCertificate(folder.path, "console");
    ConsoleServerSettings settings;
    settings.port = 0;
    static const std::string hash = auth::hashPassword("right password", auth::HashCost::kMinimum).value();
    settings.passwordHash = [] { return Result<std::optional<std::string>>(std::optional<std::string>(hash)); };
    settings.tls = {(folder.path / "console.pem").string(), (folder.path / "console.key").string()};
    server = std::make_unique<ConsoleServer>(std::move(settings), api, metrics);
  }

  // Runs `client` on another thread while this one polls the server, as the bot's loop does.
  template <typename Client>
  auto whilePolling(Client client) {
    return kelva::testing::whileServing(std::move(client), [this] { server->poll(); });
  }

  // A POST over TLS by a client that trusts the certificate `trusted`.pem.
  Answer ask(const Ask& a, const std::string& trusted = "console") {
    return whilePolling([&] {
      boost::asio::io_context io;
      auto trust = kelva::testing::trusting(folder.path / (trusted + ".pem"));
      beast::ssl_stream<beast::tcp_stream> stream(io, *trust);
      stream.set_verify_callback(ssl::host_name_verification("127.0.0.1"));
      beast::get_lowest_layer(stream).expires_after(std::chrono::seconds(10));
      beast::get_lowest_layer(stream).connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), server->port()));
      stream.handshake(ssl::stream_base::client);
      return kelva::testing::exchange(stream, server->port(), a);
    });
  }

  kelva::testing::GameFixture g;
  kelva::testing::TempFolder folder;
  GameMetrics metrics;
  app::OnlineAvatars online;
  ConsoleApi api;
  std::unique_ptr<ConsoleServer> server;
  bool made = false;
};

TEST_F(ConsoleTlsTest, LogInAndAGiftOverHttpsWithASecureCookie) {
  ASSERT_TRUE(made) << "the test certificate could not be made with the openssl command";
  ASSERT_TRUE(server->start().isOk());
  EXPECT_EQ(server->address(), "https://127.0.0.1:" + std::to_string(server->port()) + "/");
  g.givenPlayer("Bob").withExp(250).withGold(40);

  const Answer in = ask({"POST", "/api/login", R"({"password":"right password"})"});
  ASSERT_EQ(in.status, 200u) << in.body;
  EXPECT_NE(in.setCookie.find("; Secure"), std::string::npos) << in.setCookie;
  const std::string cookie = in.cookie();
  const std::string formKey = in.data().value("formKey", "");

  // The page's own origin is https now; the same host over http is another site.
  const std::string self = "https://127.0.0.1:" + std::to_string(server->port());
  const std::string clear = "http://127.0.0.1:" + std::to_string(server->port());
  console::selectCombo1(*g.form, "Bob");
  EXPECT_EQ(ask({"POST", "/api/change", R"({"text2":"300","text3":"40"})", cookie, formKey, clear}).status, 403u);
  EXPECT_EQ(g.player("Bob").exp, 250);
  EXPECT_EQ(ask({"POST", "/api/change", R"({"text2":"300","text3":"40"})", cookie, formKey, self}).status, 200u);
  EXPECT_EQ(g.player("Bob").exp, 300);

  const Answer out = ask({"POST", "/api/logout", "{}", cookie, formKey, self});
  EXPECT_EQ(out.status, 200u);
  EXPECT_NE(out.setCookie.find("; Secure"), std::string::npos) << out.setCookie;
}

TEST_F(ConsoleTlsTest, PlainHttpToTheHttpsPortIsClosedNotLeftHanging) {
  ASSERT_TRUE(made) << "the test certificate could not be made with the openssl command";
  ASSERT_TRUE(server->start().isOk());
  const auto started = std::chrono::steady_clock::now();
  const beast::error_code ended = whilePolling([&] {
    boost::asio::io_context io;
    beast::tcp_stream stream(io);
    stream.expires_after(std::chrono::seconds(8));
    stream.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), server->port()));
    http::request<http::string_body> request(http::verb::get, "/api/state", 11);
    request.set(http::field::host, "127.0.0.1");
    http::write(stream, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code ec;
    http::read(stream, buffer, response, ec);
    return ec;
  });
  EXPECT_TRUE(ended) << "a clear-text request got an HTTP answer";
  EXPECT_NE(ended, beast::error::timeout);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST_F(ConsoleTlsTest, ACertificateThatCannotBeUsedStopsTheConsoleWithItsName) {
  ASSERT_TRUE(made) << "the test certificate could not be made with the openssl command";
  ConsoleServerSettings missing;
  missing.port = 0;
  missing.tls = {(folder.path / "absent.pem").string(), (folder.path / "console.key").string()};
  ConsoleServer noFile(std::move(missing), api, metrics);
  const Status a = noFile.start();
  ASSERT_FALSE(a.isOk());
  EXPECT_NE(a.message().find("absent.pem"), std::string::npos) << a.message();
  EXPECT_EQ(noFile.port(), 0) << "no port is opened without its certificate";
}

TEST_F(ConsoleTlsTest, AReloadGivesNewConnectionsTheRenewedCertificateAndAFailureKeepsIt) {
  ASSERT_TRUE(made) << "the test certificate could not be made with the openssl command";
  ASSERT_TRUE(server->start().isOk());
  ASSERT_TRUE(kelva::testing::makeCertificate(folder.path, "renewed"));
  namespace fs = std::filesystem;
  // The old certificate is kept aside, as the client that trusts it needs it.
  fs::copy_file(folder.path / "console.pem", folder.path / "old.pem");
  fs::copy_file(folder.path / "renewed.pem", folder.path / "console.pem", fs::copy_options::overwrite_existing);
  fs::copy_file(folder.path / "renewed.key", folder.path / "console.key", fs::copy_options::overwrite_existing);
  EXPECT_EQ(ask({"POST", "/api/login", "{}"}, "old").status, 400u) << "read again only when asked";
  ASSERT_TRUE(server->reloadTls().isOk());
  EXPECT_EQ(ask({"POST", "/api/login", "{}"}, "renewed").status, 400u);
  EXPECT_THROW(ask({"POST", "/api/login", "{}"}, "old"), boost::system::system_error);

  folder.write("console.pem", "not a certificate");
  EXPECT_FALSE(server->reloadTls().isOk());
  EXPECT_EQ(ask({"POST", "/api/login", "{}"}, "renewed").status, 400u);
}

}  // namespace
}  // namespace kelva::console::web
