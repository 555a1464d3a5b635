#include "world/ports/connection_hub.h"

#include "world/ports/socket_connection.h"

namespace kelva::world {

namespace {
// After a round the world waits three times as long as the round took before
// the next: most of a write's cost is the system call, so a crowd's lines
// pile up into a few writes per listener instead of one write per line, and
// a world short of processor (a busy machine stretches the rounds) spends
// less of it per line. The cap bounds the wait a line adds.
constexpr int kPauseFactor = 3;
constexpr std::chrono::steady_clock::duration kLongestPause = std::chrono::milliseconds(15);
}  // namespace

void ConnectionHub::noteOutput(std::shared_ptr<SocketConnection> connection) {
  noted_.push_back(std::move(connection));
  if (writePosted_) return;
  writePosted_ = true;
  if (std::chrono::steady_clock::now() >= quietUntil_) {
    asio::post(io, [this] { writeNoted(); });
    return;
  }
  writeTimer_.expires_at(quietUntil_);
  writeTimer_.async_wait([this](const ErrorCode& ec) {
    if (!ec) writeNoted();
  });
}

void ConnectionHub::noteOutputAfter(std::shared_ptr<SocketConnection> connection, std::chrono::milliseconds hold) {
  held_.emplace_back(std::chrono::steady_clock::now() + hold, std::move(connection));
  if (!holdTimerSet_) armHoldTimer();
}

void ConnectionHub::endHolds() {
  const auto now = std::chrono::steady_clock::now();
  while (!held_.empty() && held_.front().first <= now) {
    std::shared_ptr<SocketConnection> c = std::move(held_.front().second);
    held_.pop_front();
    // A round may have written the held line already, with a later one.
    if (!c->closed_ && !c->writing_ && !c->pending_.empty()) c->waitForRound();
  }
  if (!held_.empty()) armHoldTimer();
}

void ConnectionHub::armHoldTimer() {
  holdTimerSet_ = true;
  holdTimer_.expires_at(held_.front().first);
  holdTimer_.async_wait([this](const ErrorCode& ec) {
    holdTimerSet_ = false;
    if (!ec && !stopped) endHolds();
  });
}

void ConnectionHub::writeNoted() {
  const auto began = std::chrono::steady_clock::now();
  writePosted_ = false;
  // The round's list and the next one's swap places, so neither is
  // allocated again each round.
  round_.swap(noted_);
  for (const auto& c : round_) {
    c->noted_ = false;
    if (!c->closed_ && !c->writing_ && !c->pending_.empty()) c->writeMore();
  }
  round_.clear();
  const auto ended = std::chrono::steady_clock::now();
  quietUntil_ = ended + std::min<std::chrono::steady_clock::duration>(kPauseFactor * (ended - began), kLongestPause);
}

void armDeadlineTimer(asio::steady_timer& timer, const ConnectionTimeouts& timeouts, std::function<void()> fired) {
  std::optional<std::chrono::steady_clock::time_point> next = timeouts.next();
  if (!next) {
    timer.cancel();
    return;
  }
  timer.expires_at(*next);
  timer.async_wait([fired = std::move(fired)](const ErrorCode& ec) {
    if (!ec) fired();
  });
}

}  // namespace kelva::world
