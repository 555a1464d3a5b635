#include "world/ports/hash_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace kelva::world {
namespace {

using namespace std::chrono_literals;

// One worker held on a first job while others queue behind it: the jobs that
// waited past the bound come back unanswered without being run, and the
// queue's last place is refused at once.
TEST(HashWorkers, JobsThatWaitedTooLongAreAnsweredLateAndNeverRun) {
  boost::asio::io_context io;
  auto keepRunning = boost::asio::make_work_guard(io);  // answers come from other threads
  HashWorkers workers(io, 1, 3, 100ms);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> ran{0};
  std::vector<HashAnswer> answers;
  auto record = [&answers](HashAnswer a) { answers.push_back(a); };

  ASSERT_TRUE(workers.run([&] { released.wait(); ++ran; return true; }, record));
  std::this_thread::sleep_for(20ms);  // the worker has taken the first job
  ASSERT_TRUE(workers.run([&] { ++ran; return false; }, record));
  ASSERT_TRUE(workers.run([&] { ++ran; return true; }, record));
  ASSERT_TRUE(workers.run([&] { ++ran; return true; }, record));
  EXPECT_FALSE(workers.run([&] { ++ran; return true; }, record)) << "a full queue refuses at once";

  std::this_thread::sleep_for(150ms);  // the three queued jobs are now too old
  release.set_value();
  for (int turn = 0; answers.size() < 4 && turn < 10; ++turn) io.run_one_for(1s);
  ASSERT_EQ(answers.size(), 4u);

  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(answers[0], HashAnswer(true));
  for (std::size_t i = 1; i < answers.size(); ++i) EXPECT_EQ(answers[i], std::nullopt) << "job " << i;

  // A job queued now, within the bound, runs and carries its own answer.
  ASSERT_TRUE(workers.run([&] { ++ran; return false; }, record));
  for (int turn = 0; answers.size() < 5 && turn < 10; ++turn) io.run_one_for(1s);
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[4], HashAnswer(false));
  EXPECT_EQ(ran.load(), 2);
}

}  // namespace
}  // namespace kelva::world
