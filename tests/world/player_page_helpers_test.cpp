// The line port's password echo, and object labels that outlive the bot's
// changes.
#include <gtest/gtest.h>

#include "world/core/world_file.h"
#include "world/ports/password_echo.h"
#include "world/server_fixture.h"

namespace kelva::world {
namespace {

namespace kt = kelva::testing;

const std::string kWillEcho = "\xff\xfb\x01";
const std::string kWontEcho = "\xff\xfc\x01";
const std::string kDoEcho = "\xff\xfd\x01";

TEST(PasswordEcho, DropsTelnetCommandsAndGivesTheEchoBackOnlyWhenTheClientTookIt) {
  PasswordEcho plain;
  EXPECT_EQ(plain.hide(), kWillEcho);
  EXPECT_EQ(plain.read("secret"), "secret");
  EXPECT_FALSE(plain.telnet());
  EXPECT_EQ(plain.show(), "") << "nc never stopped echoing: nothing to give back";

  PasswordEcho telnet;
  telnet.hide();
  // The client's answer arrives in front of the password it typed; a doubled
  // IAC is the byte itself; a sub-negotiation and a two-byte command go whole.
  EXPECT_EQ(telnet.read(kDoEcho + "se\xff\xff" + "cr\xff\xfa\x18\x01\xff\xf0" + "et\xff\xf1"), "se\xff" "cret");
  EXPECT_TRUE(telnet.telnet());
  EXPECT_EQ(telnet.show(), kWontEcho);
  EXPECT_EQ(telnet.show(), "") << "the echo is given back once";
  // A command cut off by the line's end is dropped, not read as text.
  EXPECT_EQ(telnet.read("ok\xff"), "ok");
  EXPECT_EQ(telnet.read("ok\xff\xfd"), "ok");

  // A client that refused, or an answer with no question asked, changes nothing.
  PasswordEcho refused;
  refused.hide();
  EXPECT_EQ(refused.read("\xff\xfe\x01pw"), "pw");
  EXPECT_EQ(refused.show(), "");
  PasswordEcho unasked;
  unasked.read(kDoEcho);
  unasked.hide();
  EXPECT_EQ(unasked.show(), "");
}

TEST(PlayerLinePort, TelnetHidesThePasswordAndNcIsWarned) {
  kt::ServerRunner server;
  kt::LineClient nc(server.playerPort());
  ASSERT_TRUE(nc.waitForLine("* What is your name?"));
  nc.send("Ann");
  const std::string warned = "* Ann is a registered name. Password? (Plain nc shows it as you type; telnet hides it.)";
  ASSERT_TRUE(nc.waitForLine(warned + kWillEcho));
  nc.send("annpw");
  ASSERT_TRUE(nc.waitForContaining("You are Ann,"));

  kt::LineClient telnet(server.playerPort());
  ASSERT_TRUE(telnet.waitForLine("* What is your name?"));
  telnet.send("Ann");
  ASSERT_TRUE(telnet.waitForLine(warned + kWillEcho));
  telnet.sendRaw(kDoEcho + "wrong\r\n");
  // The echo comes back before the refusal; a client that spoke telnet is
  // not warned again.
  ASSERT_TRUE(telnet.waitForLine(kWontEcho));
  ASSERT_TRUE(telnet.waitForContaining("Wrong password"));
  telnet.send("\xff\xfe\x01" "Ann");
  ASSERT_TRUE(telnet.waitForLine("* Ann is a registered name. Password?" + kWillEcho));
  telnet.sendRaw(kDoEcho + "annpw\r\n");
  EXPECT_EQ(telnet.readLine().value_or("none"), kWontEcho);
  ASSERT_TRUE(telnet.waitForContaining("You are Ann,"));
}

TEST(ObjectLabel, AtMostFortyBytesOfTextAndKeptThroughTheBotsChanges) {
  auto file = [](const std::string& label) {
    return R"({"name": "K", "bots": [], "objects": [{"number": 1, "model": "m", "x": 0, "z": 0, "label": )" + label +
           "}]}";
  };
  Result<WorldDefinition> full = parseWorldFile(file("\"" + std::string(40, 'a') + "\""), "w");
  ASSERT_TRUE(full.isOk()) << full.status().message();
  EXPECT_EQ(full.value().objects[0].label, std::string(40, 'a'));
  for (const std::string& bad : {"\"" + std::string(41, 'a') + "\"", std::string("\"a\\tb\""), std::string("7")}) {
    Result<WorldDefinition> r = parseWorldFile(file(bad), "w");
    ASSERT_FALSE(r.isOk()) << bad;
    EXPECT_NE(r.status().message().find("objects[0]: label"), std::string::npos) << r.status().message();
  }

  World world;
  WorldObject shroom = full.value().objects[0];
  shroom.label = "Magic shroom";
  world.add(shroom);
  auto changed = world.change(1, net::ObjectFields{0, 0, 0, 0, 0, "m", "", "create solid no,visible no"});
  ASSERT_TRUE(changed.has_value());
  EXPECT_EQ(changed->back().object.label, "Magic shroom");
  EXPECT_EQ(world.find(1)->label, "Magic shroom");
}

}  // namespace
}  // namespace kelva::world
