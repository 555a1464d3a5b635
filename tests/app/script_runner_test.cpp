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

// When queued events reach the bot is the transcripts' (pvp_run_between_blows,
// shutdown_countdown); a delete the world cannot do is told on stderr alone.
TEST(ScriptRunner, DeletingAnObjectTheWorldDoesNotHoldIsToldAndTheRunGoesOn) {
  const ScriptRun r = runScript(kLogin + "world-delete 99\n");
  EXPECT_EQ(r.status, kScriptOk);
  EXPECT_EQ(r.out, kFirstQuery + "say Complete\n");
  EXPECT_NE(r.err.find("99"), std::string::npos);
}

}  // namespace
}  // namespace kelva::app
