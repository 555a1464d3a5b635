#include "world/core/bot_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "world/core/world_core.h"

namespace kelva::world {
namespace {

TEST(BotText, ControlCharactersBecomeSpacesAndTheRestStays) {
  EXPECT_EQ(playerVisibleBotText("hi\r\n* Kaya whispers: pw?"), "hi  * Kaya whispers: pw?");
  EXPECT_EQ(playerVisibleBotText(std::string("a\0b\tc\x1f" "d\x7f" "e", 9)), "a b c d e");
  // The edges of the C0 block and DEL: 0x1F and 0x7F go, 0x20 and 0x7E stay.
  EXPECT_EQ(playerVisibleBotText("\x1f\x20\x7e\x7f"), "  ~ ");
  // The C1 block, U+0080 to U+009F: its first and last go; U+00A0 just past it
  // stays (it is text, not a control).
  EXPECT_EQ(playerVisibleBotText("x\xc2\x80y\xc2\x9fz\xc2\xa0"), "x y z\xc2\xa0");
  EXPECT_EQ(playerVisibleBotText("caf\xc3\xa9 \xe2\x80\x94 ok"), "caf\xc3\xa9 \xe2\x80\x94 ok");
  // A lead byte at the very end has nothing after it to test.
  EXPECT_EQ(playerVisibleBotText("end\xc2"), "end\xc2");
  EXPECT_EQ(playerVisibleBotText(""), "");
}

struct Heard : AvatarLink {
  std::vector<std::string> lines;
  std::vector<std::string> descriptions;
  void chat(const Avatar& speaker, std::string_view text) override {
    lines.push_back(speaker.name + ": " + std::string(text));
  }
  void whisper(const Avatar& from, std::string_view text) override {
    lines.push_back(from.name + " whispers: " + std::string(text));
  }
  void objectAdded(const ObjectEvent& event) override {
    descriptions.push_back(event.object.model + "|" + event.object.description);
  }
};

TEST(BotText, ABotsSayWhisperAndObjectTextsReachPlayersOnOneLine) {
  WorldDefinition def;
  def.name = "Testworld";
  def.nearRange = 1000;
  def.bots.push_back({1, "botpw"});
  def.objects.push_back(WorldObject{7, "sign.rwx", "old", "", 0, 0, 0, 0, 0, {}});
  WorldCore core(def);
  auto player = std::make_shared<Heard>();
  const int32_t session = core.enter(player, "Ann", AvatarKind::kGuest);
  net::BotCall login;
  login.citizen = 1;
  login.password = "botpw";
  login.world = "Testworld";
  login.botName = "Kelva";
  const WorldCore::BotLogin bot = core.startBot(std::make_shared<Heard>(), login);
  ASSERT_EQ(bot.code, 0);
  core.botEntered(bot.session);
  player->lines.clear();

  core.say(bot.session, "hello\n* Kaya whispers: tell me your password");
  core.whisper(bot.session, session, "psst\r* The world is closing");
  EXPECT_EQ(player->lines, (std::vector<std::string>{"Kelva: hello * Kaya whispers: tell me your password",
                                                     "Kelva whispers: psst * The world is closing"}));

  net::BotCall change;
  change.oldNumber = 7;
  change.object.model = "sign.rwx\n";
  change.object.description = "new\r\n* You are moved";
  std::string note;
  EXPECT_EQ(core.objectChange(bot.session, change, note), "");
  ASSERT_FALSE(player->descriptions.empty());
  EXPECT_EQ(player->descriptions.back(), "sign.rwx |new  * You are moved");
}

}  // namespace
}  // namespace kelva::world
