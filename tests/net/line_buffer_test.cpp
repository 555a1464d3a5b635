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
  Fed fed = feedAll(buffer, {"hel", "lo\r", "\nsecond\nthi", "rd\r\n", "\n", "a\rb\n"});
  // A carriage return inside a line is kept.
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"hello", "second", "third", "", "a\rb"}));
  EXPECT_EQ(buffer.pending(), 0u);
}

TEST(LineBuffer, OverlongLineIsDroppedOnceAndTheNextLineStillArrives) {
  LineBuffer buffer(5);
  // A line of exactly the limit is kept, even with CR LF split across reads.
  Fed fed = feedAll(buffer, {"12345\r", "\n", "123456", "7890", "abc\nok\n", "123456\r\n"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"12345", "ok"}));
  EXPECT_EQ(fed.overlong, 2);
  // The dropped bytes were never held.
  EXPECT_EQ(buffer.pending(), 0u);
}

TEST(LineBuffer, OnThePlayerPortCrLfAndCrLfEachEndOneLine) {
  LineBuffer buffer(5, LineEnds::kAny);
  // A lone CR ends its line at once, without waiting for what follows; the LF
  // of a CR LF split across reads does not make an empty line.
  Fed fed = feedAll(buffer, {"one\r", "\ntwo\rthree\n", "\r\nfour\r\r", "\n", "123456\r", "\nok\r"});
  EXPECT_EQ(fed.lines, (std::vector<std::string>{"one", "two", "three", "", "four", "", "ok"}));
  EXPECT_EQ(fed.overlong, 1);
  EXPECT_EQ(buffer.pending(), 0u);
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
