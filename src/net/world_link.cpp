#include "net/world_link.h"

#include <iostream>

namespace kelva::net {

using boost::asio::ip::tcp;

namespace {

std::string ms(std::chrono::milliseconds d) {
  if (d.count() % 1000 == 0) return std::to_string(d.count() / 1000) + " s";
  return std::to_string(d.count()) + " ms";
}

}  // namespace

WorldLink::WorldLink(NetOptions options)
    : options_(std::move(options)), work_(boost::asio::make_work_guard(io_)), resolver_(io_), socket_(io_),
      timer_(io_), lines_(kMaxBotLine), backoff_(options_.firstBackoff) {
  thread_ = std::thread([this] { io_.run(); });
}

WorldLink::~WorldLink() {
  boost::asio::post(io_, [this] {
    phase_ = Phase::kTerminated;
    closeSocket();
    timer_.cancel();
  });
  work_.reset();
  io_.stop();
  thread_.join();
}

int32_t WorldLink::login(const BotCall& init, BotCall startBot) {
  startBot.id = nextId_++;
  std::promise<int32_t> result;
  std::future<int32_t> answer = result.get_future();
  boost::asio::post(io_, [this, init, startBot, r = std::move(result)]() mutable {
    if (everOnline_ || loginResult_) {
      r.set_value(4);  // already logged in: the world's own code for it
      return;
    }
    initLine_ = encodeCall(init);
    startBot_ = startBot;
    loginResult_.emplace(std::move(r));
    firstDeadline_ = Clock::now() + options_.connectWindow;
    beginConnect();
  });
  auto limit = options_.connectWindow + options_.loginTimeout + std::chrono::seconds(5);
  if (answer.wait_for(limit) != std::future_status::ready) return kNoAnswerCode;
  return answer.get();
}

void WorldLink::send(std::string line) {
  boost::asio::post(io_, [this, l = std::move(line)]() mutable {
    if (phase_ != Phase::kOnline) {
      dropped();
      return;
    }
    write(std::move(l));
  });
}

std::optional<int32_t> WorldLink::sectorFromCell(int32_t cell) {
  if (!online.load()) return std::nullopt;
  BotCall call;
  call.kind = CallKind::kSectorFromCell;
  call.id = nextId_++;
  call.value = cell;
  std::promise<std::optional<int32_t>> p;
  auto f = p.get_future();
  boost::asio::post(io_, [this, call, p = std::move(p)]() mutable {
    if (phase_ != Phase::kOnline) {
      p.set_value(std::nullopt);
      return;
    }
    requests_.emplace(call.id, std::move(p));
    write(encodeCall(call));
  });
  if (f.wait_for(std::chrono::seconds(2)) != std::future_status::ready) return std::nullopt;
  return f.get();
}

void WorldLink::terminate(const std::string& termLine) {
  std::promise<void> done;
  auto f = done.get_future();
  boost::asio::post(io_, [this, termLine, d = std::move(done)]() mutable {
    termDone_.emplace(std::move(d));
    if (phase_ == Phase::kOnline) {
      write(termLine);
      terminating_ = true;
      if (writing_) return;
    }
    finishTerm();
  });
  f.wait_for(std::chrono::seconds(1));
}

std::size_t WorldLink::pendingCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

std::optional<LinkItem> WorldLink::pop(std::optional<Clock::time_point> until) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (until) cv_.wait_until(lock, *until, [&] { return !queue_.empty(); });
  if (queue_.empty()) return std::nullopt;
  LinkItem item = std::move(queue_.front());
  queue_.pop_front();
  if (readPaused_ && queue_.size() <= options_.queueLimit / 2) {
    readPaused_ = false;
    boost::asio::post(io_, [this, gen = generation_.load()] {
      if (gen == generation_ && socket_.is_open()) startRead(gen);
    });
  }
  return item;
}

void WorldLink::push(LinkItem item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(item));
  }
  cv_.notify_one();
}

void WorldLink::closeSocket() {
  boost::system::error_code ignored;
  resolver_.cancel();
  if (socket_.is_open()) {
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }
}

void WorldLink::beginConnect() {
  closeSocket();
  uint64_t gen = ++generation_;
  phase_ = Phase::kConnecting;
  lines_ = LineBuffer(kMaxBotLine);
  {
    // A pause belongs to the old socket: the new one starts its own read
    // once it is connected, and Wait must not start a second one beside it.
    std::lock_guard<std::mutex> lock(mutex_);
    readPaused_ = false;
  }
  pending_.clear();
  writing_ = false;
  inFlightSize_ = 0;
  timer_.expires_after(std::chrono::seconds(5));
  timer_.async_wait([this, gen](boost::system::error_code ec) {
    if (!ec && gen == generation_ && phase_ == Phase::kConnecting) connectFailed("no answer in 5 s");
  });
  auto onResolved = [this, gen](boost::system::error_code ec, tcp::resolver::results_type results) {
    if (gen != generation_ || phase_ != Phase::kConnecting) return;
    if (ec) {
      connectFailed(ec.message());
      return;
    }
    boost::asio::async_connect(socket_, results, [this, gen](boost::system::error_code e, const tcp::endpoint&) {
      if (gen != generation_ || phase_ != Phase::kConnecting) return;
      if (e) {
        connectFailed(e.message());
        return;
      }
      connected(gen);
    });
  };
  resolver_.async_resolve(options_.host, options_.port, onResolved);
}

void WorldLink::connected(uint64_t gen) {
  boost::system::error_code ignored;
  socket_.set_option(tcp::no_delay(true), ignored);
  phase_ = Phase::kLoggingIn;
  startRead(gen);
  write(initLine_);
  write(encodeCall(startBot_));
  timer_.expires_after(options_.loginTimeout);
  timer_.async_wait([this, gen](boost::system::error_code ec) {
    if (ec || gen != generation_ || phase_ != Phase::kLoggingIn) return;
    if (loginResult_) {
      closeSocket();
      phase_ = Phase::kIdle;
      answerLogin(kNoAnswerCode);
    } else {
      retry("the world did not answer the login");
    }
  });
}

void WorldLink::connectFailed(const std::string& reason) {
  closeSocket();
  if (loginResult_) {
    // The first login keeps knocking for a while: the world may be starting.
    if (Clock::now() < firstDeadline_) {
      phase_ = Phase::kWaitingRetry;
      timer_.expires_after(std::chrono::milliseconds(250));
      timer_.async_wait([this](boost::system::error_code ec) {
        if (!ec && phase_ == Phase::kWaitingRetry) beginConnect();
      });
      return;
    }
    log() << "kelvabot: cannot reach the world server at " << where() << ": " << reason << std::endl;
    phase_ = Phase::kIdle;
    answerLogin(kUnreachableCode);
    return;
  }
  retry("cannot reach it: " + reason);
}

void WorldLink::answerLogin(int32_t code) {
  if (!loginResult_) return;
  loginResult_->set_value(code);
  loginResult_.reset();
}

// After a failure once the bot has been in the world: wait, then log in again.
void WorldLink::retry(const std::string& reason) {
  if (phase_ == Phase::kTerminated) return;
  // The old socket's pending read and write (or the rest of the lines just
  // read) must not take its closing for one more failure: that would report
  // it again and double the wait twice.
  ++generation_;
  closeSocket();
  bool wasOnline = phase_ == Phase::kOnline;
  online = false;
  failRequests();
  phase_ = Phase::kWaitingRetry;
  log() << "kelvabot: " << (wasOnline ? "lost the connection to" : "still not back in") << " the world server at "
        << where() << " (" << reason << "); logging in again in " << ms(backoff_) << std::endl;
  timer_.expires_after(backoff_);
  timer_.async_wait([this](boost::system::error_code ec) {
    if (!ec && phase_ == Phase::kWaitingRetry) beginConnect();
  });
  backoff_ = std::min(backoff_ * 2, options_.longestBackoff);
}

void WorldLink::failRequests() {
  for (auto& [id, p] : requests_) p.set_value(std::nullopt);
  requests_.clear();
}

void WorldLink::lost(const std::string& reason) {
  if (phase_ == Phase::kTerminated) return;
  if (loginResult_) {
    connectFailed(reason);
    return;
  }
  retry(reason);
}

void WorldLink::dropped() {
  if (droppedReported_ || phase_ == Phase::kTerminated) return;
  droppedReported_ = true;
  log() << "kelvabot: not in the world right now; calls are dropped until the bot is logged in again"
        << std::endl;
}

void WorldLink::startRead(uint64_t gen) {
  socket_.async_read_some(boost::asio::buffer(readBuffer_), [this, gen](boost::system::error_code ec, std::size_t n) {
    if (gen != generation_) return;
    if (ec) {
      lost(ec == boost::asio::error::eof ? "the world closed the connection" : ec.message());
      return;
    }
    bool open = lines_.feed(
        std::string_view(readBuffer_.data(), n),
        [&](std::string_view line) {
          handleLine(line);
          return gen == generation_;
        },
        [&] {
          log() << "kelvabot: the world sent a line longer than " << kMaxBotLine << " bytes; it was dropped"
                << std::endl;
          return true;
        });
    if (!open || gen != generation_) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.size() >= options_.queueLimit) {
        readPaused_ = true;
        return;
      }
    }
    startRead(gen);
  });
}

void WorldLink::handleLine(std::string_view line) {
  Result<WorldMessage> message = parseWorldLine(line);
  if (!message.isOk()) {
    log() << "kelvabot: the world sent a line that was ignored: " << message.status().message() << std::endl;
    return;
  }
  if (auto* event = std::get_if<WorldEvent>(&message.value())) {
    push({false, std::move(*event)});
  } else if (auto* notice = std::get_if<Notice>(&message.value())) {
    log() << "kelvabot: the world says: " << notice->message << std::endl;
  } else {
    const Reply& reply = std::get<Reply>(message.value());
    if (reply.call == CallKind::kStartBot) {
      if (phase_ == Phase::kLoggingIn && reply.id == startBot_.id) loginAnswered(reply);
    } else if (auto it = requests_.find(reply.id); it != requests_.end()) {
      it->second.set_value(reply.value);
      requests_.erase(it);
    }
  }
}

void WorldLink::loginAnswered(const Reply& reply) {
  timer_.cancel();
  if (reply.value != 0) {
    if (loginResult_) {
      // A refused first login is final: the read still pending on this
      // socket must not take its closing for a lost connection.
      ++generation_;
      closeSocket();
      phase_ = Phase::kIdle;
      answerLogin(reply.value);
    } else {
      retry("the world refused the login with code " + std::to_string(reply.value));
    }
    return;
  }
  phase_ = Phase::kOnline;
  online = true;
  session = reply.session;
  backoff_ = options_.firstBackoff;
  droppedReported_ = false;
  if (loginResult_) {
    everOnline_ = true;
    answerLogin(0);
  } else {
    log() << "kelvabot: logged in to the world server at " << where() << " again" << std::endl;
    push({true, {}});
  }
}

void WorldLink::write(std::string line) {
  pending_.append(line);
  pending_.push_back('\n');
  if (pending_.size() + inFlightSize_ > options_.outputLimit) {
    lost("the world does not read what the bot sends");
    return;
  }
  if (!writing_) flush();
}

void WorldLink::flush() {
  auto buffer = std::make_shared<std::string>(std::move(pending_));
  pending_.clear();
  writing_ = true;
  inFlightSize_ = buffer->size();
  uint64_t gen = generation_;
  boost::asio::async_write(socket_, boost::asio::buffer(*buffer), [this, buffer, gen](boost::system::error_code ec, std::size_t) {
    if (gen != generation_) return;
    writing_ = false;
    inFlightSize_ = 0;
    if (ec) {
      lost("write failed: " + ec.message());
      return;
    }
    if (!pending_.empty()) {
      flush();
    } else if (terminating_) {
      finishTerm();
    }
  });
}

void WorldLink::finishTerm() {
  phase_ = Phase::kTerminated;
  online = false;
  timer_.cancel();
  closeSocket();
  failRequests();
  if (termDone_) {
    termDone_->set_value();
    termDone_.reset();
  }
}

std::ostream& WorldLink::log() { return options_.log ? *options_.log : std::cerr; }

}  // namespace kelva::net
