#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char** argv) {
  // A program under test that exits before reading what a test writes to its
  // standard input must fail that test's assertions, not kill the whole binary.
  std::signal(SIGPIPE, SIG_IGN);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
