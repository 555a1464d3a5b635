#include "world/guards/accept_backoff.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "world/guards/descriptor_budget.h"

namespace kelva::world {
namespace {

using std::chrono::milliseconds;

TEST(AcceptBackoff, RunningOutOfDescriptorsPausesLongerEachTimeUpToASecondAndASuccessEndsIt) {
  AcceptBackoff backoff;
  EXPECT_EQ(backoff.failed(EMFILE), milliseconds(50));
  EXPECT_EQ(backoff.failed(ENFILE), milliseconds(100));
  EXPECT_EQ(backoff.failed(ENOMEM), milliseconds(200));
  EXPECT_EQ(backoff.failed(ENOBUFS), milliseconds(400));
  EXPECT_EQ(backoff.failed(EMFILE), milliseconds(800));
  EXPECT_EQ(backoff.failed(EMFILE), milliseconds(1000));
  EXPECT_EQ(backoff.failed(EMFILE), milliseconds(1000));
  EXPECT_TRUE(backoff.backingOff());
  // A client that gave up while queued is no reason to pause.
  EXPECT_EQ(backoff.failed(ECONNABORTED), milliseconds(0));
  backoff.succeeded();
  EXPECT_FALSE(backoff.backingOff());
  EXPECT_EQ(backoff.failed(EMFILE), milliseconds(50));
  EXPECT_EQ(backoff.exhaustions(), 8u);
}

TEST(DescriptorBudget, AMaximumOfPlayersBeyondTheDescriptorsIsLoweredWithAMessage) {
  CapacityPlan fits = planCapacity(65536, 1000, 100);
  EXPECT_EQ(fits.maxPlayers, 1000u);
  EXPECT_TRUE(fits.message.empty());

  CapacityPlan lowered = planCapacity(1024, 1000, 100);
  EXPECT_EQ(lowered.maxPlayers, 1024u - kReservedDescriptors - 100u);
  EXPECT_NE(lowered.message.find("the world holds " + std::to_string(lowered.maxPlayers) + " players"),
            std::string::npos)
      << lowered.message;

  EXPECT_EQ(planCapacity(32, 1000, 100).maxPlayers, 0u);
}

TEST(DescriptorBudget, RaisingTheSoftLimitReachesTheHardOneOrSaysWhyNot) {
  DescriptorLimit limit = raiseDescriptorLimit();
  EXPECT_GE(limit.soft, limit.before);
  if (limit.problem.empty()) {
    EXPECT_TRUE(limit.soft == limit.hard || limit.soft >= (uint64_t{1} << 16)) << limit.soft << " " << limit.hard;
  }
}

}  // namespace
}  // namespace kelva::world
