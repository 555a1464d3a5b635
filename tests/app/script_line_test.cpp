#include "app/script_line.h"

#include <gtest/gtest.h>

namespace kelva::app {
namespace {

TEST(ScriptParsing, FieldsAreSeparatedByOneBlankAndTheLastIsTheRest) {
  auto chat = parseScriptLine("chat Ann 7   /use scan  Bob ");
  ASSERT_TRUE(chat.isOk());
  EXPECT_EQ(chat.value()->name, "Ann");
  EXPECT_EQ(chat.value()->session, 7);
  EXPECT_EQ(chat.value()->text, "  /use scan  Bob ");

  auto empty = parseScriptLine("chat Ann 7");
  ASSERT_TRUE(empty.isOk());
  EXPECT_EQ(empty.value()->text, "");

  auto add = parseScriptLine("world-add 12 shroom.rwx -1500 0 2500 create solid no,visible no");
  ASSERT_TRUE(add.isOk());
  EXPECT_EQ(add.value()->object.number, 12);
  EXPECT_EQ(add.value()->object.model, "shroom.rwx");
  EXPECT_EQ(add.value()->object.x, -1500);
  EXPECT_EQ(add.value()->object.z, 2500);
  EXPECT_EQ(add.value()->object.action, "create solid no,visible no");

  auto admin = parseScriptLine("admin 6 Boss Man");
  ASSERT_TRUE(admin.isOk());
  EXPECT_EQ(admin.value()->number, 6);
  EXPECT_EQ(admin.value()->name, "Boss Man");

  auto pump = parseScriptLine("pump");
  ASSERT_TRUE(pump.isOk());
  EXPECT_EQ(pump.value()->count, 1);

  // Blank lines and comments are skipped.
  for (const char* line : {"", "   ", "\t", "# a comment", "#login"}) {
    auto parsed = parseScriptLine(line);
    ASSERT_TRUE(parsed.isOk()) << line;
    EXPECT_FALSE(parsed.value().has_value()) << line;
  }
}

TEST(ScriptParsing, MalformedLinesAreRefused) {
  for (const char* line : {
           "dance",                                   // unknown
           " chat Ann 7 hi",                          // no command before the blank
           "LOGIN 1 pw Demo Bot 0 0 0",               // commands are lower case
           "login 1 pw Demo Bot 0 0",                 // Z missing
           "login x pw Demo Bot 0 0 0",               // the citizen number is a number
           "login 1 pw Demo Bot 0 0 0 0",             // Z is the rest of the line
           "login 1 pw Demo Bot 0 0 99999999999",     // out of range for a long
           "world-login-result 0x10",                 // no hexadecimal
           "world-query-rounds 0",                    //
           "world-query-rounds -2",                   //
           "world-add 1 m 0 0",                       // Z missing
           "world-add 1 m 0 1e3 0",                   // no exponent
           "world-delete 3 4",                        //
           "chat Ann",                                // SESSION missing
           "chat Ann  7 hi",                          // two blanks: an empty SESSION
           "click-object Ann 7 12 13",                //
           "click-avatar Ann 7 Bob x",                //
           "queue pump",                              // not an event line
           "queue queue arrive Ann",                  //
           "queue # arrive Ann",                      //
           "pump -1",                                 //
           "timer1 1 2",                              //
           "admin 7 Bob",                             // boxes 0 to 6
           "change now",                              //
           "close ",                                  //
       }) {
    const auto parsed = parseScriptLine(line);
    EXPECT_FALSE(parsed.isOk()) << line;
  }
}

TEST(ScriptParsing, NumbersFollowTheGameRules) {
  auto chat = parseScriptLine("chat Ann 6.5 hi");
  ASSERT_TRUE(chat.isOk());
  EXPECT_EQ(chat.value()->session, 6);  // half to even
  auto click = parseScriptLine("click-object Ann -7 +12");
  ASSERT_TRUE(click.isOk());
  EXPECT_EQ(click.value()->session, -7);
  EXPECT_EQ(click.value()->number, 12);
  EXPECT_TRUE(parseScriptLine("world-delete 2147483647").isOk());
  EXPECT_FALSE(parseScriptLine("world-delete 2147483648").isOk());
}

}  // namespace
}  // namespace kelva::app
