#include "app/script_runner.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/form1.h"
#include "support/fakes.h"

namespace kelva::app {
namespace {

using kelva::testing::MemoryFileSystem;

struct ScriptRun {
  int status = -1;
  std::string out;
  std::string err;
};

ScriptRun runScript(const std::string& script, MemoryFileSystem& files) {
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

ScriptRun runScript(const std::string& script) {
  MemoryFileSystem files;
  return runScript(script, files);
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

  auto arrive = parseScriptLine("arrive Ann Lee");
  ASSERT_TRUE(arrive.isOk());
  EXPECT_EQ(arrive.value()->name, "Ann Lee");

  auto add = parseScriptLine("world-add 12 shroom.rwx -1500 0 2500 create solid no,visible no");
  ASSERT_TRUE(add.isOk());
  EXPECT_EQ(add.value()->object.number, 12);
  EXPECT_EQ(add.value()->object.model, "shroom.rwx");
  EXPECT_EQ(add.value()->object.x, -1500);
  EXPECT_EQ(add.value()->object.z, 2500);
  EXPECT_EQ(add.value()->object.action, "create solid no,visible no");

  auto admin = parseScriptLine("admin 6");
  ASSERT_TRUE(admin.isOk());
  EXPECT_EQ(admin.value()->number, 6);
  EXPECT_EQ(admin.value()->name, "");

  auto pump = parseScriptLine("pump");
  ASSERT_TRUE(pump.isOk());
  EXPECT_EQ(pump.value()->count, 1);
  auto timer = parseScriptLine("timer2 300");
  ASSERT_TRUE(timer.isOk());
  EXPECT_EQ(timer.value()->count, 300);
}

TEST(ScriptParsing, BlankLinesAndCommentsAreSkipped) {
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
           "world-login-result",                      //
           "world-login-result 0x10",                 // no hexadecimal
           "world-query-rounds 0",                    //
           "world-query-rounds -2",                   //
           "world-add 1 m 0 0",                       // Z missing
           "world-add 1 m 0 1e3 0",                   // no exponent
           "world-delete",                            //
           "world-delete 3 4",                        //
           "chat Ann",                                // SESSION missing
           "chat Ann seven hi",                       //
           "chat Ann  7 hi",                          // two blanks: an empty SESSION
           "click-object Ann 7",                      //
           "click-object Ann 7 12 13",                //
           "click-avatar Ann 7 Bob",                  //
           "click-avatar Ann 7 Bob x",                //
           "queue",                                   //
           "queue pump",                              // not an event line
           "queue queue arrive Ann",                  //
           "queue # arrive Ann",                      //
           "pump -1",                                 //
           "pump two",                                //
           "timer1 1 2",                              //
           "admin 7 Bob",                             // boxes 0 to 6
           "admin -1 Bob",                            //
           "admin",                                   //
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

TEST(ScriptRunner, AMalformedLineStopsWithItsNumberAfterTheLinesBeforeIt) {
  const ScriptRun r = runScript(kLogin + "arrive Ann\n\n# comment\nchat Ann seven /stats\narrive Bob\n");
  EXPECT_EQ(r.status, kScriptMalformed);
  EXPECT_EQ(r.out, kFirstQuery + "say Complete\ncombo1 Ann\n");
  EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;
}

TEST(ScriptRunner, ATrailingCarriageReturnIsDropped) {
  const ScriptRun r = runScript("login 1 pw Demo Bot 0 0 0\r\narrive Ann\r\nchat Ann 7 /stats\r\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_NE(r.out.find("whisper 7 stats: Ann     Level: 1"), std::string::npos) << r.out;
}

TEST(ScriptRunner, ASecondLoginIsMalformed) {
  const ScriptRun r = runScript(kLogin + kLogin);
  EXPECT_EQ(r.status, kScriptMalformed);
  EXPECT_EQ(r.out, kFirstQuery);
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
}

TEST(ScriptRunner, QueuedEventsWaitForTheNextTick) {
  const ScriptRun r = runScript(kLogin + "queue arrive Ann\nqueue arrive Bob\narrive Cy\nqueue arrive Dee\npump 3\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery + "say Complete\ncombo1 Ann\ncombo1 Bob\ncombo1 Cy\ncombo1 Dee\n");
}

TEST(ScriptRunner, QueueOfAWorldChangeBeforeLoginIsMalformed) {
  const ScriptRun r = runScript("queue world-add 1 shroom.rwx 0 0 0\n");
  EXPECT_EQ(r.status, kScriptMalformed);
  EXPECT_NE(r.err.find("line 1"), std::string::npos) << r.err;
}

TEST(ScriptRunner, BeforeLoginEventsOnlyQueueAndPumpDoesNothing) {
  const ScriptRun r = runScript("arrive Ann\npump 5\nchat Ann 7 /stats\n" + kLogin + "pump\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery +
                       "combo1 Ann\n"
                       "whisper 7 stats: Ann     Level: 1 Gold: 5 HP: 15/15 Clan: none\n"
                       "whisper 7 Race: Human AC:0 Speed:10 Strength:10 Charisma:10/10 Exp: 0/100 MP: 0/0\n"
                       "say Complete\n");
}

TEST(ScriptRunner, ObjectsAddedBeforeLoginAreReportedByTheQuery) {
  const ScriptRun r = runScript(
      "world-add 5 shroom.rwx 100 0 100\n"
      "world-add 6 tree.rwx 100 0 100\n"
      "world-add 8 tree.rwx 1500 0 0\n"
      "world-query-rounds 2\n" +
      kLogin + "pump\npump\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery + "query 0 0 0 0 0 0 2 0 0 0 0\nsay Complete\n");
}

TEST(ScriptRunner, ARefusedLoginShowsTheCodeAndEndsWithStatus1) {
  MemoryFileSystem files;
  const ScriptRun r = runScript("world-login-result 442\n" + kLogin + "arrive Ann\n", files);
  EXPECT_EQ(r.status, kScriptLoginRefused);
  EXPECT_EQ(r.out, "messagebox 442\n");
  EXPECT_TRUE(files.reads.empty());
}

TEST(ScriptRunner, ADataErrorEndsWithStatus3AndRewritesNothing) {
  MemoryFileSystem files;
  files.files["/data/stats.txt"] = "Ann,1,Human\r\n";
  const ScriptRun r = runScript(kLogin + "arrive Bob\n", files);
  EXPECT_EQ(r.status, kScriptDataError);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("stats.txt line 1"), std::string::npos) << r.err;
  EXPECT_EQ(files.files.size(), 1u);
  EXPECT_EQ(files.files["/data/stats.txt"], "Ann,1,Human\r\n");
}

TEST(ScriptRunner, CloseRunsTheCountdownAndEndsTheRun) {
  const ScriptRun r = runScript(kLogin + "close\narrive Ann\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery +
                       "say Bot is being shut down in Three...\n"
                       "say Complete\n"
                       "say Two...\n"
                       "say One...\n"
                       "destroy\n"
                       "term\n");
}

TEST(ScriptRunner, CloseBeforeLoginEndsSilently) {
  const ScriptRun r = runScript("arrive Ann\nclose\ndance\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, "");
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

TEST(ScriptRunner, TheOperatorTypesAdministratorNames) {
  MemoryFileSystem files;
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(files, ScriptSettings{"/data", 1}, out, err);
  EXPECT_EQ(runner.runLine("admin 3 Boss Man", 1), std::nullopt);
  EXPECT_EQ(runner.runLine("text2 12.5", 2), std::nullopt);
  EXPECT_EQ(runner.runLine("text3 ", 3), std::nullopt);
  EXPECT_EQ(runner.form().console.Text1[3], "Boss Man");
  EXPECT_EQ(runner.form().console.Text2, "12.5");
  EXPECT_EQ(runner.form().console.Text3, "");
  EXPECT_EQ(runner.runLine("admin 3", 4), std::nullopt);
  EXPECT_EQ(runner.form().console.Text1[3], "");
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace kelva::app
