#include "world/ports/hash_workers.h"

namespace kelva::world {

HashWorkers::HashWorkers(boost::asio::io_context& io, unsigned threads, std::size_t maxQueued)
    : io_(io), maxQueued_(maxQueued) {
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

bool HashWorkers::run(std::function<bool()> work, std::function<void(bool)> done) {
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= maxQueued_) return false;
    queue_.push_back({std::move(work), std::move(done)});
  }
  ready_.notify_one();
  return true;
}

void HashWorkers::serve() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    const bool answer = job.work();
    boost::asio::post(io_, [done = std::move(job.done), answer] { done(answer); });
  }
}

}  // namespace kelva::world
