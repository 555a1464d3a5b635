#include "app/script_runner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/fakes.h"

namespace kelva::app {
namespace {

using kelva::testing::MemoryFileSystem;

struct ScriptRun {
  int status = -1;
  std::string out;
  std::string err;
};

ScriptRun runScript(const std::string& script) {
  MemoryFileSystem files;
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(files, ScriptSettings{"/data", 1}, out, err);
  std::istringstream in(script);
  ScriptRun r;
  r.status = runner.run(in);
  r.out = out.str();
  r.err = err.str();
  return r;
}

const std::string kLogin = "login 1 pw Demo Bot 0 0 0\n";
const std::string kFirstQuery = "query 0 0 0 0 0 0 0 0 0 0 0\n";

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

TEST(ScriptRunner, ATrailingCarriageReturnIsDropped) {
  const ScriptRun r = runScript("login 1 pw Demo Bot 0 0 0\r\narrive Ann\r\nchat Ann 7 /stats\r\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_NE(r.out.find("whisper 7 stats: Ann     Level: 1"), std::string::npos) << r.out;
}

TEST(ScriptRunner, MisplacedLinesAreMalformedAtTheirLine) {
  // A second login, and a world change queued before login, where no event pump runs.
  const ScriptRun twice = runScript(kLogin + kLogin);
  EXPECT_EQ(twice.status, kScriptMalformed);
  EXPECT_EQ(twice.out, kFirstQuery);
  EXPECT_NE(twice.err.find("line 2"), std::string::npos) << twice.err;
  const ScriptRun queued = runScript("queue world-add 1 shroom.rwx 0 0 0\n");
  EXPECT_EQ(queued.status, kScriptMalformed);
  EXPECT_NE(queued.err.find("line 1"), std::string::npos) << queued.err;
}

TEST(ScriptRunner, QueuedEventsWaitForTheNextTick) {
  const ScriptRun r = runScript(kLogin + "queue arrive Ann\nqueue arrive Bob\narrive Cy\nqueue arrive Dee\npump 3\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery + "say Complete\ncombo1 Ann\ncombo1 Bob\ncombo1 Cy\ncombo1 Dee\n");
}

TEST(ScriptRunner, WorldChangesAfterLoginAreDeliveredAtOnce) {
  const ScriptRun r = runScript(kLogin +
                          "world-add 5 shroom.rwx 100 0 100\n"
                          "world-add 7 shroom.rwx 40000 0 0\n"
                          "world-delete 5\n"
                          "world-delete 99\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery + "say Complete\n");
  EXPECT_NE(r.err.find("99"), std::string::npos);
}

}  // namespace
}  // namespace kelva::app
