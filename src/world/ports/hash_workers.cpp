#include "world/ports/hash_workers.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kelva::world {

namespace {

// Linux keeps a nice value per thread: only this worker yields to the world.
// Raising one's own nice value needs no privilege; if it fails the worker
// simply runs at the world's priority.
void yieldToTheWorld() { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10); }

}  // namespace

HashWorkers::HashWorkers(boost::asio::io_context& io, unsigned threads, std::size_t maxQueued,
                         std::chrono::milliseconds maxWait)
    : io_(io), maxQueued_(maxQueued), maxWait_(maxWait) {
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
}

HashWorkers::~HashWorkers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  ready_.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool HashWorkers::run(std::function<bool()> work, std::function<void(HashAnswer)> done) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= maxQueued_) return false;
    queue_.push_back({std::move(work), std::move(done), std::chrono::steady_clock::now()});
  }
  ready_.notify_one();
  return true;
}

void HashWorkers::serve() {
  yieldToTheWorld();
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    HashAnswer answer;
    if (std::chrono::steady_clock::now() - job.queuedAt <= maxWait_) answer = job.work();
    boost::asio::post(io_, [done = std::move(job.done), answer] { done(answer); });
  }
}

}  // namespace kelva::world
