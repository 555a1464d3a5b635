// The bot's connection to the world server, run by a thread of its own: it
// reaches the bot port, logs in, reads the world's lines and queues their
// events, writes the bot's calls, and when the connection is lost logs in
// again with the same StartBot, waiting longer after each failure. It never
// touches the game: the bot's thread takes the queued events with pop().
#pragma once

#include <boost/asio.hpp>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "net/bot_protocol.h"
#include "net/line_buffer.h"
#include "net/net_options.h"

namespace kelva::net {

// What the queue hands out: an event, or the mark where the bot logged in again.
struct LinkItem {
  bool reconnected = false;
  WorldEvent event;
};

class WorldLink {
 public:
  using Clock = std::chrono::steady_clock;

  explicit WorldLink(NetOptions options);
  ~WorldLink();
  WorldLink(const WorldLink&) = delete;
  WorldLink& operator=(const WorldLink&) = delete;

  // The first login: tries to reach the world for the connect window, then
  // waits for its answer. Blocks the calling (bot) thread.
  int32_t login(const BotCall& init, BotCall startBot);
  // Sends one encoded call; dropped (and said so once) while not logged in.
  void send(std::string line);
  // The world's answer, or nullopt when it cannot answer in time.
  std::optional<int32_t> sectorFromCell(int32_t cell);
  // Sends Term, lets the output go out (a second at most), and closes for good.
  void terminate(const std::string& termLine);

  // The event queue, shared with the bot's thread: how many are waiting, and
  // the next one, waiting for it until `until` when given.
  std::size_t pendingCount();
  std::optional<LinkItem> pop(std::optional<Clock::time_point> until);

  std::atomic<bool> online{false};
  std::atomic<int32_t> session{0};

 private:
  enum class Phase { kIdle, kConnecting, kLoggingIn, kOnline, kWaitingRetry, kTerminated };

  std::ostream& log();
  std::string where() const { return options_.host + ":" + options_.port; }
  void push(LinkItem item);
  void closeSocket();
  void beginConnect();
  void connected(uint64_t gen);
  void connectFailed(const std::string& reason);
  void answerLogin(int32_t code);
  void retry(const std::string& reason);
  void failRequests();
  void lost(const std::string& reason);
  void dropped();
  void startRead(uint64_t gen);
  void handleLine(std::string_view line);
  void loginAnswered(const Reply& reply);
  void write(std::string line);
  void flush();
  void finishTerm();

  // Every member below, up to the queue, is touched only on the link's
  // thread; the bot's thread reaches it through post().
  NetOptions options_;
  boost::asio::io_context io_;
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
  boost::asio::ip::tcp::resolver resolver_;
  boost::asio::ip::tcp::socket socket_;
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
  std::deque<LinkItem> queue_;
  bool readPaused_ = false;  // guarded by mutex_

  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace kelva::net
