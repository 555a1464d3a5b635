#include "net/line_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelva::net {
namespace {

struct Fed {
  std::vector<std::string> lines;
  int overlong = 0;
};

Fed feedAll(LineBuffer& buffer, const std::vector<std::string>& chunks) {
  Fed fed;
  for (const std::string& chunk : chunks)
    buffer.feed(
        chunk,
        [&](std::string_view line) {
          fed.lines.emplace_back(line);
          return true;
        },
        [&] {
          ++fed.overlong;
          return true;
        });
  return fed;
}

TEST(LineBuffer, LinesSplitAcrossReadsComeOutWholeWithoutTheirLineEnds) {
  LineBuffer buffer(100);
  Fed fed = feedAll(buffer, {"hel", "lo\r", "\nsecond\nthi", "rd\r\n", "\n"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"hello", "second", "third", ""}));
  EXPECT_EQ(buffer.pending(), 0u);
}

TEST(LineBuffer, CarriageReturnInsideALineIsKept) {
  LineBuffer buffer(100);
  Fed fed = feedAll(buffer, {"a\rb\n"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"a\rb"}));
}

TEST(LineBuffer, OverlongLineIsDroppedOnceAndTheNextLineStillArrives) {
  LineBuffer buffer(5);
  Fed fed = feedAll(buffer, {"12345\n", "123456", "7890", "abc\nok\n"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"12345", "ok"}));
  EXPECT_EQ(fed.overlong, 1);
  // The dropped bytes were never held.
  EXPECT_EQ(buffer.pending(), 0u);
}

TEST(LineBuffer, LineOfExactlyTheLimitWithCrLfIsKept) {
  LineBuffer buffer(5);
  Fed fed = feedAll(buffer, {"12345\r", "\n", "123456\r\n"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"12345"}));
  EXPECT_EQ(fed.overlong, 1);
}

TEST(LineBuffer, ACallbackThatStopsEndsTheFeed) {
  LineBuffer buffer(100);
  std::vector<std::string> lines;
  bool more = buffer.feed(
      "a\nb\nc\n",
      [&](std::string_view line) {
        lines.emplace_back(line);
        return lines.size() < 2;
      },
      [] { return true; });
  EXPECT_FALSE(more);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace kelva::net
