#include "world/ports/web_port.h"

#include <gtest/gtest.h>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include "support/temp_folder.h"
#include "world/server_fixture.h"
#include "world/web_client.h"
#include "world/ports/web_message.h"

namespace kelva::world {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using kelva::testing::Answer;
using kelva::testing::enter;
using kelva::testing::get;
using kelva::testing::WebClient;
using kelva::testing::LineClient;
using kelva::testing::ServerRunner;
using nlohmann::json;

TEST(WebPort, ServesThePageWithItsTypesAndNothingElse) {
  ServerRunner server;
  ASSERT_TRUE(server.started()) << server.log();
  const uint16_t port = server.webPort();
  Answer page = get(port, "/");
  EXPECT_EQ(page.status, 200u);
  EXPECT_EQ(page.type, "text/html; charset=utf-8");
  EXPECT_EQ(get(port, "/kelva.js").type, "text/javascript; charset=utf-8");
  EXPECT_EQ(get(port, "/style.css").type, "text/css; charset=utf-8");
  EXPECT_EQ(get(port, "/three/three.min.js").status, 200u);
  // HEAD: the file's headers and length, no body.
  Answer head = get(port, "/", http::verb::head);
  EXPECT_EQ(head.status, 200u);
  EXPECT_EQ(head.type, page.type);
  EXPECT_EQ(head.length, std::to_string(page.body.size()));
  EXPECT_TRUE(head.body.empty());
  // Every spelling of an escape is web_files' to refuse; here, that the port
  // asks it, and that /ws without an upgrade is no file.
  for (const char* target : {"/%2e%2e/CMakeLists.txt", "/ws"}) EXPECT_EQ(get(port, target).status, 404u) << target;
  EXPECT_EQ(get(port, "/", http::verb::post).status, 405u);
  // A page from another site may not open the game; the world's own may.
  for (auto [origin, status] : {std::pair{"http://evil.test", 403u}, {"http://127.0.0.1", 101u}}) {
    asio::io_context io;
    websocket::stream<tcp::socket> ws(io);
    ws.next_layer().connect({asio::ip::make_address("127.0.0.1"), port});
    ws.set_option(websocket::stream_base::decorator(
        [origin = std::string(origin)](websocket::request_type& r) { r.set(http::field::origin, origin); }));
    websocket::response_type answer;
    kelva::testing::finishWithin(ws, [&](auto done) { ws.async_handshake(answer, "127.0.0.1", "/ws", done); });
    EXPECT_EQ(answer.result_int(), status) << origin;
  }
  EXPECT_EQ(get(port, "/", http::verb::get, std::string(9000, 'a')).status, 413u);
}

// Whatever a browser sends wrong is refused with a reason, and the player
// goes on as before. The log-in rules are the line port's: a registered name
// needs its password, so a guest can never take it.
TEST(WebPort, BadMessagesAndWrongPasswordsAreRefusedAndChangeNothing) {
  ServerRunner server;
  ASSERT_TRUE(server.started()) << server.log();
  WebClient web(server.webPort());
  EXPECT_EQ(web.next("welcome")["world"], "Testworld");
  web.send(R"({"type":"chat","text":"hello"})");
  EXPECT_NE(web.next("error")["text"].get<std::string>().find("log in first"), std::string::npos);
  web.send(R"({"type":"login","name":"mira"})");
  json me = web.next("entered");
  EXPECT_EQ(me["name"], "\"mira\"");

  WebClient ann(server.webPort());
  ann.next("welcome");
  ann.send(R"({"type":"login","name":"Ann"})");
  EXPECT_EQ(ann.next("password")["name"], "Ann");
  ann.send(R"({"type":"login","name":"Ann","password":"guess"})");
  EXPECT_EQ(ann.next("refused")["text"], "Wrong password. What is your name?");
  LineClient line(server.playerPort());
  enter(line, "Line");

  // Each malformed message is web_message's test; here, that the port answers
  // one, and a log-in while in the world.
  for (const char* bad : {"{", R"({"type":"login","name":"Ann"})"}) {
    web.send(bad);
    EXPECT_FALSE(web.next("error")["text"].get<std::string>().empty()) << bad;
  }
  web.send(R"({"type":"chat","text":"hi"})", true);
  EXPECT_NE(web.next("error")["text"].get<std::string>().find("binary"), std::string::npos);
  web.send(R"({"type":"chat","text":"a\u0001b"})");
  EXPECT_NE(web.next("error")["text"].get<std::string>().find("not sent"), std::string::npos);

  // Still in the world, heard by the line player; nothing refused was heard.
  web.send(R"({"type":"chat","text":"still here"})");
  EXPECT_TRUE(line.waitForLine("\"mira\": still here"));
  EXPECT_FALSE(line.waitForContaining("hi", std::chrono::milliseconds(200)));
  ann.send(R"({"type":"login","name":"Ann","password":"annpw"})");
  EXPECT_EQ(ann.next("entered")["name"], "Ann");
}

TEST(WebPort, OversizedMessagesEndTheConnectionAndFloodsAreDropped) {
  ServerRunner server;
  ASSERT_TRUE(server.started()) << server.log();
  WebClient big(server.webPort());
  big.next("welcome");
  big.send(R"({"type":"login","name":")" + std::string(kMaxWebMessage, 'x') + "\"}");
  EXPECT_TRUE(big.closed());

  WebClient fast(server.webPort());
  fast.next("welcome");
  fast.send(R"({"type":"login","name":"fast"})");
  fast.next("entered");
  for (int i = 0; i < 60; ++i) fast.send(R"({"type":"chat","text":"/stats"})");
  EXPECT_EQ(fast.next("error")["text"], "You are typing too fast; that line was dropped.");
}

// A chat line or a tell exactly at the line limit is said; one byte over is
// dropped, and the player is told.
TEST(WebPort, ALineAtTheLimitIsSaidAndOneByteOverIsDroppedAndTold) {
  ServerOptions options = ServerRunner::freePorts();
  options.limits.maxPlayerLine = 20;
  ServerRunner server(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(server.started()) << server.log();
  WebClient web(server.webPort());
  web.next("welcome");
  web.send(R"({"type":"login","name":"mira"})");
  web.next("entered");
  LineClient line(server.playerPort());
  enter(line, "Line");
  const std::string atLimit(20, 'a');
  const std::string over(21, 'o');
  web.send(R"({"type":"chat","text":")" + atLimit + "\"}");
  EXPECT_TRUE(line.waitForLine("\"mira\": " + atLimit));
  web.send(R"({"type":"tell","to":"\"Line\"","text":")" + atLimit + "\"}");
  EXPECT_TRUE(line.waitForLine("\"mira\" tells you: " + atLimit));
  for (const std::string& message : {R"({"type":"chat","text":")" + over + "\"}",
                                     R"({"type":"tell","to":"\"Line\"","text":")" + over + "\"}"}) {
    web.send(message);
    EXPECT_EQ(web.next("error")["text"], "That line was too long (more than 20 bytes) and was dropped.") << message;
  }
  EXPECT_FALSE(line.waitForContaining(over, std::chrono::milliseconds(300)));
}

// A page draws its own avatar: a walk is answered by the avatar's new place,
// with no words (.where still says it); objects carry the world file's label.
TEST(WebPort, AWalkIsAnsweredByThePlaceAloneAndObjectsCarryTheirLabel) {
  WorldDefinition def = kelva::testing::demoDefinition();
  def.objects[0].label = "Cave troll";
  ServerRunner server(def);
  ASSERT_TRUE(server.started()) << server.log();
  WebClient web(server.webPort());
  web.next("welcome");
  web.send(R"({"type":"login","name":"mira"})");
  const int session = web.next("entered")["session"];
  json troll = web.next("object");
  EXPECT_EQ(troll["number"], 1);
  EXPECT_EQ(troll["label"], "Cave troll");
  web.send(R"({"type":"move","x":700,"z":-300})");
  json moved = web.next("avatar");
  while (!moved.is_null() && moved["session"] != session) moved = web.next("avatar");
  EXPECT_EQ(moved["x"], 700);
  EXPECT_EQ(moved["z"], -300);
  web.send(R"({"type":"move","x":800,"z":-300})");
  web.send(R"({"type":"chat","text":".where"})");
  // Had either walk been told in words, its line would come first.
  EXPECT_EQ(web.next("world")["text"], "You are at 800 0 -300.");
}

// Accounts made from the page and from the line port last across a restart
// of the world on the same data folder; look-alikes, commas and a fourth
// sign-up from one address within the hour are refused.
TEST(WebPort, SignUpsLastAcrossARestartAndLookAlikesAreRefused) {
  kelva::testing::TempFolder dir("web_port_sign_up");
  ServerOptions options = ServerRunner::freePorts();
  options.dataDir = (dir.path / "data").string();
  {
    ServerRunner server(kelva::testing::demoDefinition(), options);
    ASSERT_TRUE(server.started()) << server.log();
    WebClient mira(server.webPort());
    EXPECT_EQ(mira.next("welcome")["world"], "Testworld");
    mira.send(R"({"type":"register","name":"Mira","password":"pw-mira"})");
    EXPECT_EQ(mira.next("entered")["name"], "Mira");

    WebClient other(server.webPort());
    other.next("welcome");
    for (const char* bad : {R"({"type":"register","name":"M1RA","password":"x"})",
                            R"({"type":"register","name":"Ann","password":"x"})",
                            R"({"type":"register","name":"a,b","password":"x"})",
                            R"({"type":"register","name":"Nia","password":""})"}) {
      other.send(bad);
      EXPECT_NE(other.next("refused")["text"].get<std::string>().find("cannot sign up"), std::string::npos) << bad;
    }

    LineClient tom(server.playerPort());
    enter(tom, "tom");
    tom.send(".register tom-pw");
    EXPECT_TRUE(tom.waitForContaining("The name tom is yours from your next log-in"));
    tom.send(".register again");
    EXPECT_TRUE(tom.waitForContaining("cannot register: tom is registered already"));

    // The third sign-up from this address is the last one this hour.
    other.send(R"({"type":"register","name":"Zed","password":"z"})");
    EXPECT_EQ(other.next("entered")["name"], "Zed");
    WebClient fourth(server.webPort());
    fourth.next("welcome");
    fourth.send(R"({"type":"register","name":"Quin","password":"q"})");
    EXPECT_NE(fourth.next("refused")["text"].get<std::string>().find("Too many accounts"), std::string::npos);
  }
  ServerRunner again(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(again.started()) << again.log();
  WebClient mira(again.webPort());
  // A password is compared as typed: a trailing space makes it wrong.
  for (const char* wrong : {"pw-wrong", "pw-mira "}) {
    mira.send(std::string(R"({"type":"login","name":"Mira","password":")") + wrong + R"("})");
    EXPECT_EQ(mira.next("refused")["text"], "Wrong password. What is your name?") << wrong;
  }
  mira.send(R"({"type":"login","name":"Mira","password":"pw-mira"})");
  EXPECT_EQ(mira.next("entered")["name"], "Mira");

  LineClient tom(again.playerPort());
  enter(tom, "tom", "tom-pw");
  tom.send(".password wrong new-pw");
  EXPECT_TRUE(tom.waitForLine("* Wrong password; yours was not changed."));
  tom.send(".password tom-pw new-pw");
  EXPECT_TRUE(tom.waitForLine("* Your password is changed."));
  LineClient back(again.playerPort());
  enter(back, "tom", "new-pw");

  std::string stored = dir.read("data/world.db") + dir.read("data/world.db-wal");
  EXPECT_EQ(stored.find("pw-mira"), std::string::npos);
  EXPECT_EQ(stored.find("new-pw"), std::string::npos);
}

}  // namespace
}  // namespace kelva::world
