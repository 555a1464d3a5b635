#include "net/net_world_sdk.h"

#include <boost/asio.hpp>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "net/bot_protocol.h"
#include "net/geometry.h"
#include "net/line_buffer.h"

namespace kelva::net {

using boost::asio::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

std::string ms(std::chrono::milliseconds d) {
  if (d.count() % 1000 == 0) return std::to_string(d.count() / 1000) + " s";
  return std::to_string(d.count()) + " ms";
}

}  // namespace

// What Wait hands out: an event, or the mark where the bot logged in again.
struct NetWorldSdk::Delivery {
  bool reconnected = false;
  WorldEvent event;
};

// The socket side, run by its own thread. Every member below the queue is
// touched only on that thread; the bot's thread reaches it through post().
class NetWorldSdk::Link {
 public:
  using Item = Delivery;

  explicit Link(NetOptions options)
      : options_(std::move(options)), work_(boost::asio::make_work_guard(io_)), resolver_(io_), socket_(io_),
        timer_(io_), lines_(kMaxBotLine), backoff_(options_.firstBackoff) {
    thread_ = std::thread([this] { io_.run(); });
  }

  ~Link() {
    boost::asio::post(io_, [this] {
      phase_ = Phase::kTerminated;
      closeSocket();
      timer_.cancel();
    });
    work_.reset();
    io_.stop();
    thread_.join();
  }

  std::ostream& log() { return options_.log ? *options_.log : std::cerr; }
  std::string where() const { return options_.host + ":" + options_.port; }

  // The first login: tries to reach the world for the connect window, then
  // waits for its answer. Blocks the calling (bot) thread.
  int32_t login(const BotCall& init, BotCall startBot) {
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
    if (answer.wait_for(limit) != std::future_status::ready) return kNoAnswer;
    return answer.get();
  }

  void send(std::string line) {
    boost::asio::post(io_, [this, l = std::move(line)]() mutable {
      if (phase_ != Phase::kOnline) {
        dropped();
        return;
      }
      write(std::move(l));
    });
  }

  std::optional<int32_t> sectorFromCell(int32_t cell) {
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

  // Sends Term, lets the output go out (a second at most), and closes for good.
  void terminate(const std::string& termLine) {
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

  // The event queue, shared with the bot's thread.
  std::size_t pendingCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
  }
  std::optional<Item> pop(std::optional<Clock::time_point> until) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (until) cv_.wait_until(lock, *until, [&] { return !queue_.empty(); });
    if (queue_.empty()) return std::nullopt;
    Item item = std::move(queue_.front());
    queue_.pop_front();
    if (readPaused_ && queue_.size() <= options_.queueLimit / 2) {
      readPaused_ = false;
      boost::asio::post(io_, [this, gen = generation_.load()] {
        if (gen == generation_ && socket_.is_open()) startRead(gen);
      });
    }
    return item;
  }

  std::atomic<bool> online{false};
  std::atomic<int32_t> session{0};

 private:
  enum class Phase { kIdle, kConnecting, kLoggingIn, kOnline, kWaitingRetry, kTerminated };

  void push(Item item) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(item));
    }
    cv_.notify_one();
  }

  void closeSocket() {
    boost::system::error_code ignored;
    resolver_.cancel();
    if (socket_.is_open()) {
      socket_.shutdown(tcp::socket::shutdown_both, ignored);
      socket_.close(ignored);
    }
  }

  void beginConnect() {
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

  void connected(uint64_t gen) {
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
        answerLogin(kNoAnswer);
      } else {
        retry("the world did not answer the login");
      }
    });
  }

  void connectFailed(const std::string& reason) {
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
      answerLogin(NetWorldSdk::kUnreachable);
      return;
    }
    retry("cannot reach it: " + reason);
  }

  void answerLogin(int32_t code) {
    if (!loginResult_) return;
    loginResult_->set_value(code);
    loginResult_.reset();
  }

  // After a failure once the bot has been in the world: wait, then log in again.
  void retry(const std::string& reason) {
    if (phase_ == Phase::kTerminated) return;
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

  void failRequests() {
    for (auto& [id, p] : requests_) p.set_value(std::nullopt);
    requests_.clear();
  }

  void lost(const std::string& reason) {
    if (phase_ == Phase::kTerminated) return;
    if (loginResult_) {
      connectFailed(reason);
      return;
    }
    retry(reason);
  }

  void dropped() {
    if (droppedReported_ || phase_ == Phase::kTerminated) return;
    droppedReported_ = true;
    log() << "kelvabot: not in the world right now; calls are dropped until the bot is logged in again"
          << std::endl;
  }

  void startRead(uint64_t gen) {
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

  void handleLine(std::string_view line) {
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

  void loginAnswered(const Reply& reply) {
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

  void write(std::string line) {
    pending_.append(line);
    pending_.push_back('\n');
    if (pending_.size() + inFlightSize_ > options_.outputLimit) {
      lost("the world does not read what the bot sends");
      return;
    }
    if (!writing_) flush();
  }

  void flush() {
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

  void finishTerm() {
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

  NetOptions options_;
  boost::asio::io_context io_;
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
  tcp::resolver resolver_;
  tcp::socket socket_;
  boost::asio::steady_timer timer_;
  LineBuffer lines_;
  std::array<char, 16384> readBuffer_{};
  std::string pending_;
  std::size_t inFlightSize_ = 0;
  bool writing_ = false;
  bool terminating_ = false;
  std::atomic<uint64_t> generation_{0};
  Phase phase_ = Phase::kIdle;
  bool everOnline_ = false;
  bool droppedReported_ = false;
  std::string initLine_;
  BotCall startBot_;
  std::optional<std::promise<int32_t>> loginResult_;
  std::optional<std::promise<void>> termDone_;
  Clock::time_point firstDeadline_;
  std::chrono::milliseconds backoff_;
  std::map<int64_t, std::promise<std::optional<int32_t>>> requests_;
  std::atomic<int64_t> nextId_{1};

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Item> queue_;
  bool readPaused_ = false;  // guarded by mutex_

  std::thread thread_;  // last: starts once everything above exists
};

NetWorldSdk::NetWorldSdk(NetOptions options)
    : echo_(options.echo), link_(std::make_shared<Link>(std::move(options))) {}

NetWorldSdk::~NetWorldSdk() = default;

int32_t NetWorldSdk::session() const { return link_->session.load(); }
bool NetWorldSdk::online() const { return link_->online.load(); }

void NetWorldSdk::Init(int32_t version) { version_ = version; }

int32_t NetWorldSdk::StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                              const std::string& application, const std::string& world, int32_t x, int32_t y,
                              int32_t z, int32_t reserved1, int32_t reserved2) {
  BotCall init;
  init.kind = CallKind::kInit;
  init.value = version_;
  BotCall call;
  call.kind = CallKind::kStartBot;
  call.citizen = citizen;
  call.password = password;
  call.botName = botName;
  call.application = application;
  call.world = world;
  call.x = x;
  call.y = y;
  call.z = z;
  call.reserved1 = reserved1;
  call.reserved2 = reserved2;
  return link_->login(init, call);
}

int32_t NetWorldSdk::SectorFromCell(int32_t cell) {
  // The world answers; while it cannot, the rule is the same here.
  if (std::optional<int32_t> sector = link_->sectorFromCell(cell)) return *sector;
  return sectorFromCell(cell);
}

void NetWorldSdk::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) {
  BotCall call;
  call.kind = CallKind::kQuery;
  call.sectorX = sectorX;
  call.sectorZ = sectorZ;
  std::size_t i = 0;
  for (const auto& row : sequence)
    for (int32_t s : row) call.sequence[i++] = s;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Wait(int32_t milliseconds) {
  BotCall call;
  call.kind = CallKind::kWait;
  call.value = milliseconds;
  if (link_->online.load()) link_->send(encodeCall(call));
  // First the events that were waiting when Wait was called, then, in real
  // time, whatever arrives until the time is up.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  for (std::size_t n = link_->pendingCount(); n > 0; --n) {
    std::optional<Link::Item> item = link_->pop(std::nullopt);
    if (!item) break;
    deliver(*item);
  }
  while (milliseconds > 0 && Clock::now() < deadline) {
    std::optional<Link::Item> item = link_->pop(deadline);
    if (!item) break;
    deliver(*item);
  }
}

void NetWorldSdk::deliver(const Delivery& item) {
  if (item.reconnected) {
    if (reconnectHook_) reconnectHook_();
    return;
  }
  applyAttributes(item.event, *this);
  if (!events_) return;
  switch (item.event.kind) {
    case EventKind::kAvatarArrival:
      events_->onAvatarAdd();
      break;
    case EventKind::kChat:
      events_->onChat();
      break;
    case EventKind::kAvatarClick:
      events_->onAvatarClick();
      break;
    case EventKind::kObjectClick:
      events_->onObjectClick();
      break;
    case EventKind::kCellBegin:
      events_->onCellBegin();
      break;
    case EventKind::kCellObject:
      events_->onCellObject();
      break;
    case EventKind::kObjectAdd:
      events_->onObjectAdd();
      break;
    case EventKind::kObjectDelete:
      events_->onObjectDelete();
      break;
    case EventKind::kQueryComplete:
      events_->onQueryComplete();
      break;
  }
}

void NetWorldSdk::Say(const std::string& text) {
  if (echo_) echo_("say " + text);
  BotCall call;
  call.kind = CallKind::kSay;
  call.text = text;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Whisper(int32_t session, const std::string& text) {
  if (echo_) echo_("whisper " + std::to_string(session) + " " + text);
  BotCall call;
  call.kind = CallKind::kWhisper;
  call.value = session;
  call.text = text;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Teleport(int32_t session) {
  BotCall call;
  call.kind = CallKind::kTeleport;
  call.value = session;
  call.teleportX = TeleportX;
  call.teleportY = TeleportY;
  call.teleportZ = TeleportZ;
  call.teleportWarp = TeleportWarp;
  link_->send(encodeCall(call));
}

void NetWorldSdk::ObjectChange() {
  BotCall call;
  call.kind = CallKind::kObjectChange;
  call.oldNumber = ObjectOldNumber;
  call.oldX = ObjectOldX;
  call.oldZ = ObjectOldZ;
  call.object.x = ObjectX;
  call.object.y = ObjectY;
  call.object.z = ObjectZ;
  call.object.yaw = ObjectYaw;
  call.object.owner = ObjectOwner;
  call.object.model = ObjectModel;
  call.object.description = ObjectDescription;
  call.object.action = ObjectAction;
  link_->send(encodeCall(call));
}

void NetWorldSdk::EventOff(int32_t event) {
  BotCall call;
  call.kind = CallKind::kEventOff;
  call.value = event;
  link_->send(encodeCall(call));
}

void NetWorldSdk::EventOn(int32_t event) {
  BotCall call;
  call.kind = CallKind::kEventOn;
  call.value = event;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Destroy() {
  BotCall call;
  call.kind = CallKind::kDestroy;
  link_->send(encodeCall(call));
}

void NetWorldSdk::Term() {
  BotCall call;
  call.kind = CallKind::kTerm;
  link_->terminate(encodeCall(call));
}

}  // namespace kelva::net
