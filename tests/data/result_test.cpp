#include "data/result.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace kelva {
namespace {

TEST(Result, HoldsAValueOrAnErrorAndRefusesAnOkStatusWithoutAValue) {
  Result<int> value(3);
  EXPECT_TRUE(value.isOk());
  EXPECT_EQ(value.value(), 3);
  EXPECT_EQ(value.status().message(), "");

  Result<int> failed(Status::error("stats.txt line 4: not a number"));
  EXPECT_FALSE(failed.isOk());
  EXPECT_EQ(failed.status().message(), "stats.txt line 4: not a number");

  EXPECT_THROW(Result<std::string>(Status::ok()), std::logic_error);
  EXPECT_EQ(Status::ok().message(), "");
}

}  // namespace
}  // namespace kelva
