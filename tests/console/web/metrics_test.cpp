#include "console/web/metrics.h"

#include <gtest/gtest.h>

#include "support/prometheus_parse.h"

namespace kelva::console::web {
namespace {

std::string parsed(const std::string& text) { return kelva::testing::parsedMetrics(text); }
bool holds(const std::string& samples, const std::string& line) { return kelva::testing::holdsSample(samples, line); }

TEST(Metrics, ARealParserReadsWhatHappened) {
  GameMetrics m;
  m.commandReceived();
  m.commandReceived();
  m.replied(0.010);  // exactly on a bucket's bound: counted in it
  m.replied(0.0101);
  m.saved(0.002, true);
  m.saved(0.002, false);
  m.loginRefused("password");
  m.connectionOpened("console");
  m.connectionOpened("console");
  m.connectionClosed("console");
  const std::string samples = parsed(m.exposition());
  EXPECT_TRUE(holds(samples, "kelva_commands_total{} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_reply_seconds_bucket{le=0.005} 0")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_reply_seconds_bucket{le=0.01} 1")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_reply_seconds_bucket{le=0.025} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_reply_seconds_bucket{le=+Inf} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_reply_seconds_count{} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_saves_total{} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_save_failures_total{} 1")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_save_seconds_count{} 2")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_logins_refused_total{reason=password} 1")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_logins_refused_total{reason=throttled} 0")) << samples;
  EXPECT_TRUE(holds(samples, "kelva_connections{kind=console} 1")) << samples;
}

TEST(Metrics, ALabelWithQuotesAndALineBreakStillParses) {
  GameMetrics m;
  m.loginRefused("odd \"reason\"\\\nhere");
  EXPECT_NE(parsed(m.exposition()), "");
}

TEST(Histogram, QuantilesComeFromTheBucketsAndTheLastBucketHoldsTheRest) {
  Histogram h({0.1, 0.5, 1});
  EXPECT_EQ(h.quantile(0.5), 0);
  for (int i = 0; i < 98; ++i) h.observe(0.05);
  h.observe(0.4);
  h.observe(7);
  EXPECT_EQ(h.quantile(0.5), 0.1);
  EXPECT_EQ(h.quantile(0.99), 0.5);
  EXPECT_EQ(h.quantile(1.0), 1);  // beyond the last bound: reported as the last bound
  EXPECT_EQ(h.count(), 100u);
}

TEST(Metrics, TheChartsKeepAMinuteAPointForAnHour) {
  GameMetrics m;
  const auto start = GameMetrics::Clock::time_point(std::chrono::hours(500000));
  m.commandReceived(start);
  m.commandReceived(start + std::chrono::seconds(59));
  m.saved(0.25, true, start + std::chrono::minutes(1));
  auto hour = m.lastHour(start + std::chrono::minutes(1));
  ASSERT_EQ(hour.size(), 2u);
  EXPECT_EQ(hour[0].commands, 2u);
  EXPECT_EQ(hour[1].saves, 1u);
  EXPECT_EQ(hour[1].saveSeconds, 0.25);
  // Sixty minutes on, the first minute is out of the hour; the second is its oldest.
  EXPECT_EQ(m.lastHour(start + std::chrono::minutes(60)).size(), 1u);
  EXPECT_EQ(m.lastHour(start + std::chrono::minutes(61)).size(), 0u);
}

}  // namespace
}  // namespace kelva::console::web
