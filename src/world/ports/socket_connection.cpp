#include "world/ports/socket_connection.h"

#include "world/guards/keep_alive.h"

namespace kelva::world {

SocketConnection::SocketConnection(ConnectionHub& hub, tcp::socket socket, std::size_t maxLine,
                                   std::size_t outputLimit, const char* lineEnd, net::LineEnds lineEnds)
    : hub_(hub), stream_(std::move(socket)), lines_(maxLine, lineEnds), outputLimit_(outputLimit),
      lineEnd_(lineEnd), closeTimer_(hub.io), deadlineTimer_(hub.io), pauseTimer_(hub.io) {
  ErrorCode ec;
  stream_.tcp().socket().set_option(tcp::no_delay(true), ec);
  auto endpoint = stream_.tcp().socket().remote_endpoint(ec);
  peer_ = ec ? std::string("?") : endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
  source_ = ec ? std::string("?") : sourceKey(endpoint.address().to_string());
  if (std::string problem = applyKeepAlive(stream_.tcp().socket().native_handle(), hub_.limits.keepAlive); !problem.empty())
    hub_.guards.logOnce("keep-alive", "keep-alive for " + peer_ + ": " + problem);
}

void SocketConnection::watchDeadlines(const TimeoutLimits& limits) {
  timeouts_.emplace(limits, std::chrono::steady_clock::now());
  armDeadline();
}

void SocketConnection::loggedIn() {
  ticket_.loggedIn();
  if (timeouts_) {
    timeouts_->loggedIn(std::chrono::steady_clock::now());
    armDeadline();
  }
}

void SocketConnection::armDeadline() {
  if (closed_ || !timeouts_) return;
  armDeadlineTimer(deadlineTimer_, *timeouts_, [self = shared_from_this()] {
    if (!self->isOpen()) return;
    ConnectionTimeouts::Due due = self->timeouts_->check(std::chrono::steady_clock::now());
    if (due != ConnectionTimeouts::Due::kNothing) self->onDeadline(due);
    self->armDeadline();
  });
}

void SocketConnection::pauseFor(std::chrono::milliseconds wait, std::function<void()> then) {
  paused_ = true;
  pauseTimer_.expires_after(wait);
  pauseTimer_.async_wait([self = shared_from_this(), then = std::move(then)](const ErrorCode& ec) {
    if (ec || !self->isOpen()) return;
    then();
    self->resume();
  });
}

bool SocketConnection::pauseWhile(std::function<bool()> work, std::function<void(HashAnswer)> then) {
  const bool queued = hub_.hashing.run(std::move(work), [self = shared_from_this(), then = std::move(then)](HashAnswer answer) {
    if (!self->isOpen()) return;
    then(answer);
    self->resume();
  });
  if (queued) paused_ = true;
  return queued;
}

void SocketConnection::resume() {
  paused_ = false;
  // A line leaves the count only as it is taken: one it takes may pause the
  // connection again, and the lines still held then count toward the bound
  // with whatever the client sends next.
  while (!heldLines_.empty() && isOpen() && !paused_) {
    std::string line = std::move(heldLines_.front());
    heldLines_.pop_front();
    heldBytes_ -= line.size() + 1;
    takeLine(line);
  }
  if (readPending_ && isOpen() && !paused_) {
    readPending_ = false;
    readMore();
  }
}

void SocketConnection::takeLine(std::string_view line) {
  if (paused_) {
    // The client goes on while its log-in is checked; what it sends waits,
    // within the bound of one line.
    heldBytes_ += line.size() + 1;
    if (heldBytes_ > lines_.maxLength() + 1) {
      close("it sent too much while its log-in was checked");
      return;
    }
    heldLines_.emplace_back(line);
    return;
  }
  if (timeouts_) timeouts_->activity(std::chrono::steady_clock::now());
  onLine(line);
}

void SocketConnection::start() {
  hub_.connections.insert(shared_from_this());
  shakeHands([this] {
    onStart();
    readMore();
  });
}

void SocketConnection::turnAway(std::string_view message, const std::string& reason) {
  hub_.connections.insert(shared_from_this());
  // Said after the handshake on a TLS port, so the client can read it.
  shakeHands([this, said = std::string(message), reason] {
    send(said);
    closeAfterFlush(reason);
  });
}

void SocketConnection::send(std::string_view line) { send({line}); }

void SocketConnection::send(std::initializer_list<std::string_view> parts) {
  if (queue(parts) && !writing_) waitForRound();
}

void SocketConnection::sendSoon(std::initializer_list<std::string_view> parts, std::chrono::milliseconds hold) {
  if (queue(parts) && !writing_ && !noted_) hub_.noteOutputAfter(shared_from_this(), hold);
}

bool SocketConnection::queue(std::initializer_list<std::string_view> parts) {
  if (closed_ || closing_ || handshaking_) return false;
  std::size_t size = std::char_traits<char>::length(lineEnd_);
  for (std::string_view part : parts) size += part.size();
  if (!outputFits(pending_.size() + inFlight_.size(), size, outputLimit_)) {
    close(notReadingReason(outputLimit_));
    return false;
  }
  for (std::string_view part : parts) pending_.append(part);
  pending_.append(lineEnd_);
  return true;
}

void SocketConnection::waitForRound() {
  if (noted_) return;
  noted_ = true;
  hub_.noteOutput(shared_from_this());
}

void SocketConnection::closeIfPeerGone() {
  if (closed_ || !peerLongSilent(socket().native_handle(), hub_.limits.keepAlive)) return;
  close("no sign of life from the other end");
}

void SocketConnection::closeAfterFlush(const std::string& reason) {
  if (closed_ || closing_) return;
  closing_ = true;
  closeReason_ = reason;
  if (!writing_ && pending_.empty()) {
    close(reason);
    return;
  }
  // A line held to go with a later one goes now.
  if (!writing_) waitForRound();
  closeTimer_.expires_after(std::chrono::seconds(2));
  closeTimer_.async_wait([self = shared_from_this()](const ErrorCode& ec) {
    if (!ec) self->close(self->closeReason_ + " (output not taken)");
  });
}

void SocketConnection::close(const std::string& reason) {
  if (closed_) return;
  closed_ = true;
  ErrorCode ignored;
  closeTimer_.cancel();
  deadlineTimer_.cancel();
  pauseTimer_.cancel();
  socket().shutdown(tcp::socket::shutdown_both, ignored);
  socket().close(ignored);
  // A flood of connections from one address is one line a second, with a count.
  hub_.guards.logOnce("closed " + (ticket_.isLoggedIn() ? describe() : source_) + ": " + reason,
                      describe() + " disconnected: " + reason);
  auto self = shared_from_this();  // the hub's copy may be the last one
  ticket_.release();
  onClosed();
  hub_.connections.erase(self);
}

void SocketConnection::readMore() {
  if (readBuffer_.size() != readSize_) readBuffer_.assign(readSize_, '\0');
  stream_.async_read_some(asio::buffer(readBuffer_), [self = shared_from_this()](const ErrorCode& ec,
                                                                                 std::size_t n) {
    if (self->closed_) return;
    if (ec) {
      self->close(ec == asio::error::eof ? "the client closed the connection" : ec.message());
      return;
    }
    if (self->closing_) return;
    self->lines_.feed(
        std::string_view(self->readBuffer_.data(), n),
        [&](std::string_view line) {
          self->takeLine(line);
          return self->isOpen();
        },
        [&] {
          self->onOverlong();
          return self->isOpen();
        });
    if (!self->isOpen()) return;
    if (self->paused_)
      self->readPending_ = true;
    else
      self->readMore();
  });
}

void SocketConnection::writeMore() {
  // Most rounds the kernel takes the whole queue at once: one system call
  // and no completion to run. Only what it leaves (a slow reader, a full
  // socket buffer) waits for the socket to be writable again.
  // Over TLS every write goes through the stream's own asynchronous write.
  ErrorCode ec;
  std::size_t written = 0;
  if (!stream_.secure() && (socket().non_blocking() || (socket().non_blocking(true, ec), !ec)))
    written = socket().write_some(asio::buffer(pending_), ec);
  if (ec && ec != asio::error::would_block && ec != asio::error::try_again) {
    close("write failed: " + ec.message());
    return;
  }
  if (written == pending_.size()) {
    pending_.clear();
    if (closing_) close(closeReason_);
    return;
  }
  inFlight_.swap(pending_);
  pending_.clear();
  inFlight_.erase(0, written);
  writing_ = true;
  asio::async_write(stream_, asio::buffer(inFlight_), [self = shared_from_this()](const ErrorCode& e,
                                                                                  std::size_t) {
    self->writing_ = false;
    self->inFlight_.clear();
    if (self->closed_) return;
    if (e) {
      self->close("write failed: " + e.message());
      return;
    }
    if (!self->pending_.empty()) {
      // What came meanwhile waits for the next round like everyone's.
      self->waitForRound();
    } else if (self->closing_) {
      self->close(self->closeReason_);
    }
  });
}

}  // namespace kelva::world
