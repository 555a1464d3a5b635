// kelva-world accounts, run as the host runs it, on a store a running world
// also uses: the world honours the tool's ban, new password and removal at
// the next log-in. Also its refusals and exit codes.
#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "world/child_process.h"
#include "world/log_in_answer.h"
#include "world/server_fixture.h"

namespace kelva::world {
namespace {

using kelva::testing::ChildProcess;
using kelva::testing::logInAnswer;
using kelva::testing::ServerRunner;
using kelva::testing::TempFolder;

struct ToolRun {
  int exit = -1;
  std::string out;
  std::string err;
};

// One run of the tool; `input` is its standard input.
ToolRun accounts(const TempFolder& dir, const std::string& dataDir, std::vector<std::string> words,
                 const std::string& input = "") {
  std::vector<std::string> argv = {KELVA_WORLD_PROGRAM, "accounts", "--data-dir", dataDir};
  argv.insert(argv.end(), words.begin(), words.end());
  ChildProcess tool(argv, (dir.path / "tool.out").string(), (dir.path / "tool.err").string());
  if (!input.empty()) tool.writeLine(input);
  tool.closeInput();
  ToolRun run;
  run.exit = tool.waitExit(std::chrono::seconds(30)).value_or(-1);
  run.out = tool.outputText();
  run.err = tool.errorText();
  return run;
}

TEST(AccountsTool, ManagesTheStoreWhileTheWorldRuns) {
  TempFolder dir("accounts_tool_live");
  const std::string data = (dir.path / "data").string();
  std::filesystem::create_directories(data);

  ToolRun added = accounts(dir, data, {"add", "Ann"}, "annpw");
  ASSERT_EQ(added.exit, 0) << added.err;
  EXPECT_NE(added.err.find("added Ann"), std::string::npos);
  // A refused name is refused before a password is read; none is given, since
  // a write to a tool that has already left would end the test with SIGPIPE.
  EXPECT_EQ(accounts(dir, data, {"add", "Ann"}).exit, 1);
  EXPECT_EQ(accounts(dir, data, {"add", "ANN"}).exit, 1);  // looks like Ann
  EXPECT_EQ(accounts(dir, data, {"add", "Bo,b"}).exit, 1);
  EXPECT_EQ(accounts(dir, data, {"add", "Bob"}).exit, 2);  // no password given
  ASSERT_EQ(accounts(dir, data, {"admin", "Ann", "on"}).exit, 0);
  ToolRun listed = accounts(dir, data, {"list"});
  EXPECT_EQ(listed.out, "Ann  (administrator)\n");

  ServerOptions options = ServerRunner::freePorts();
  options.dataDir = data;
  ServerRunner world(kelva::testing::demoDefinition(), options);
  ASSERT_TRUE(world.started()) << world.log();
  const uint16_t port = world.playerPort();
  EXPECT_NE(logInAnswer(port, "Ann", "annpw").find("Type .help"), std::string::npos);

  ToolRun banned = accounts(dir, data, {"ban", "Ann", "30"});
  ASSERT_EQ(banned.exit, 0) << banned.err;
  EXPECT_NE(banned.err.find("banned Ann until "), std::string::npos);
  EXPECT_NE(logInAnswer(port, "Ann", "annpw").find("Ann is banned from this world until "), std::string::npos);
  EXPECT_NE(accounts(dir, data, {"list"}).out.find("Ann  (administrator)  (banned until "), std::string::npos);
  ASSERT_EQ(accounts(dir, data, {"unban", "Ann"}).exit, 0);
  EXPECT_NE(logInAnswer(port, "Ann", "annpw").find("Type .help"), std::string::npos);

  ASSERT_EQ(accounts(dir, data, {"reset-password", "Ann"}, "fresh").exit, 0);
  EXPECT_EQ(logInAnswer(port, "Ann", "annpw"), "* Wrong password. What is your name?");
  EXPECT_NE(logInAnswer(port, "Ann", "fresh").find("Type .help"), std::string::npos);

  ASSERT_EQ(accounts(dir, data, {"remove", "Ann"}).exit, 0);
  EXPECT_EQ(logInAnswer(port, "Ann", ""), "* Ann is not registered: you are the guest \"Ann\".");
  EXPECT_EQ(accounts(dir, data, {"list"}).out, "");
}

TEST(AccountsTool, RefusesWhatItCannotDoWithItsExitCode) {
  TempFolder dir("accounts_tool_refusals");
  const std::string data = (dir.path / "data").string();
  std::filesystem::create_directories(data);
  ASSERT_EQ(accounts(dir, data, {"add", "Ann"}, "annpw").exit, 0);

  // A name that is no account.
  for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
           {"remove", "Nobody"}, {"ban", "Nobody"}, {"unban", "Nobody"}, {"admin", "Nobody", "on"}}) {
    ToolRun r = accounts(dir, data, words);
    EXPECT_EQ(r.exit, 1) << words[0];
    EXPECT_NE(r.err.find("there is no account Nobody"), std::string::npos) << r.err;
  }
  // As for add, the name is checked before a password is read.
  EXPECT_EQ(accounts(dir, data, {"reset-password", "Nobody"}).exit, 1);

  // Wrong minutes (their limits are pinned where they are read) and other
  // wrong command lines.
  EXPECT_EQ(accounts(dir, data, {"ban", "Ann", "5256001"}).exit, 2);
  EXPECT_EQ(accounts(dir, data, {"list"}).out, "Ann\n");  // it did not ban Ann
  EXPECT_EQ(accounts(dir, data, {"admin", "Ann", "yes"}).exit, 2);
  EXPECT_EQ(accounts(dir, data, {"promote", "Ann"}).exit, 2);
  EXPECT_EQ(accounts(dir, data, {"remove"}).exit, 2);

  // A folder that is not there, and a store that is no store.
  ToolRun missing = accounts(dir, (dir.path / "nowhere").string(), {"list"});
  EXPECT_EQ(missing.exit, 3);
  EXPECT_FALSE(std::filesystem::exists(dir.path / "nowhere"));
  std::filesystem::create_directories(dir.path / "junk");
  dir.write("junk/world.db", std::string(4096, '\x13'));
  ToolRun damaged = accounts(dir, (dir.path / "junk").string(), {"list"});
  EXPECT_EQ(damaged.exit, 3);
  EXPECT_NE(damaged.err.find("world.db"), std::string::npos) << damaged.err;
  EXPECT_EQ(dir.read("junk/world.db"), std::string(4096, '\x13'));
}

}  // namespace
}  // namespace kelva::world
