#include "data/result.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace kelva {
namespace {

TEST(Result, RefusesAnOkStatusWithoutAValueAndAnOkStatusHasNoMessage) {
  EXPECT_THROW(Result<std::string>(Status::ok()), std::logic_error);
  EXPECT_EQ(Status::ok().message(), "");
  EXPECT_EQ(Result<int>(3).status().message(), "");
}

}  // namespace
}  // namespace kelva
