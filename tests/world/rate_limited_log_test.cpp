#include "world/guards/rate_limited_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelva::world {
namespace {

using std::chrono::milliseconds;

TEST(RateLimitedLog, AFloodOfOneKindIsOneLineASecondWithItsCount) {
  std::vector<std::string> out;
  RateLimitedLog log([&](const std::string& line) { out.push_back(line); });
  auto t = RateLimitedLog::TimePoint() + std::chrono::hours(1);
  // 3000 failed accepts over three seconds, and one other event among them.
  for (int i = 0; i < 3000; ++i) {
    log.write("accept", "accepting failed: Too many open files", t + milliseconds(i));
    if (i == 10) log.write("refused", "refused 10.0.0.1", t + milliseconds(i));
  }
  log.flush(t + milliseconds(3000));
  ASSERT_EQ(out.size(), 5u) << ::testing::PrintToString(out);
  EXPECT_EQ(out[0], "accepting failed: Too many open files");
  EXPECT_EQ(out[1], "refused 10.0.0.1");
  EXPECT_EQ(out[2], "accepting failed: Too many open files (1000 times in the last 1000 ms)");
  EXPECT_EQ(out[3], out[2]);
  EXPECT_EQ(out[4], "accepting failed: Too many open files (999 times in the last 1000 ms)");

  // Quiet keys are forgotten, so the table holds only what is recent.
  log.flush(t + milliseconds(5000));
  EXPECT_EQ(log.keys(), 0u);
}

}  // namespace
}  // namespace kelva::world
