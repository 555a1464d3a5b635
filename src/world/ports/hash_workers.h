// A few threads beside the world's own that do the slow work of passwords
// (an Argon2id hash costs tens of milliseconds by design): the world's
// thread hands a job over and goes on serving everyone else, and the job's
// answer comes back as a call on the world's thread. The queue is bounded:
// past it a job is refused at once, so a storm of log-ins waits in the
// log-in throttle and the caps, never in an endless queue. A job that waited
// longer than the world's answer time is not done at all but answered "too
// late" at once, so that in a storm every log-in hears back within about two
// seconds (a "busy, try again" rather than silence), and the workers spend
// their time only on players who are still waiting. The workers run at a
// lower priority than the world's thread: a storm of hashes slows log-ins,
// never the chat and fights of the players already in.
#pragma once

#include <boost/asio.hpp>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace kelva::world {

// A job's answer; no answer when the job waited too long and was not done.
using HashAnswer = std::optional<bool>;

class HashWorkers {
 public:
  // `io` must outlive the workers; answers are posted to it.
  HashWorkers(boost::asio::io_context& io, unsigned threads, std::size_t maxQueued,
              std::chrono::milliseconds maxWait = std::chrono::milliseconds(1500));
  // Waits for the job in hand of each worker; queued jobs are dropped.
  ~HashWorkers();
  HashWorkers(const HashWorkers&) = delete;
  HashWorkers& operator=(const HashWorkers&) = delete;

  // Runs `work` on a worker, then `done` with its answer on the io_context's
  // thread; `done` gets no answer when the job waited past the wait bound.
  // False (and nothing runs) when the queue is full.
  bool run(std::function<bool()> work, std::function<void(HashAnswer)> done);

 private:
  struct Job {
    std::function<bool()> work;
    std::function<void(HashAnswer)> done;
    std::chrono::steady_clock::time_point queuedAt;
  };
  void serve();

  boost::asio::io_context& io_;
  std::size_t maxQueued_;
  std::chrono::milliseconds maxWait_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kelva::world
