// A web player's WebSocket: the handshake, reading messages, writing what
// the world sends in frames within the output bound, the deadlines and
// closing.
#include <chrono>

#include "world/guards/keep_alive.h"
#include "world/ports/player_texts.h"
#include "world/ports/web_connection.h"
#include "world/ports/web_port.h"

namespace kelva::world {

void WebConnection::closeAfterFlush(const std::string& reason) {
  if (closed_ || closing_) return;
  if (!ws_) {
    close(reason);
    return;
  }
  closing_ = true;
  closeReason_ = reason;
  if (!writing_) {
    if (outgoing_.empty())
      finishClosing();
    else
      writeMore();
  }
  closeTimer_.expires_after(std::chrono::seconds(2));
  closeTimer_.async_wait([self = shared_from_this()](ErrorCode ec) {
    if (!ec) self->close(self->closeReason_ + " (output not taken)");
  });
}

void WebConnection::closeIfPeerGone() {
  if (!closed_ && peerLongSilent(socket().native_handle(), hub_.limits.keepAlive))
    close("no sign of life from the other end");
}

void WebConnection::close(const std::string& reason) {
  if (closed_) return;
  closed_ = true;
  deadlineTimer_.cancel();
  closeTimer_.cancel();
  goneFlush_.cancel();
  pauseTimer_.cancel();
  ErrorCode ignored;
  socket().shutdown(tcp::socket::shutdown_both, ignored);
  socket().close(ignored);
  if (ws_) hub_.log(describe() + " disconnected: " + reason);
  if (session_ != 0) core_.leave(session_);
  port_.connections_.erase(shared_from_this());
}

void WebConnection::sayGoodbye(const std::string& why) {
  send(web::worldText("Goodbye: " + why + "."));
  closeAfterFlush(why);
}

void WebConnection::upgrade() {
  http_.tcp().expires_never();
  ws_.emplace(std::move(http_));
  ws_->set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
  ws_->set_option(websocket::stream_base::decorator(
      [](websocket::response_type& r) { r.set(http::field::server, kWebServerName); }));
  ws_->read_message_max(kMaxWebMessage);
  ws_->async_accept(request_, [self = shared_from_this()](ErrorCode ec) {
    if (self->closed_) return;
    if (ec) {
      self->close("the WebSocket handshake failed: " + ec.message());
      return;
    }
    self->hub_.log("web player connection from " + self->peer_);
    self->send(web::welcome(self->core_.definition().name));
    self->timeouts_.emplace(Safeguards::playerTimeouts(self->hub_.limits), std::chrono::steady_clock::now());
    self->armDeadline();
    self->readMessage();
  });
}

void WebConnection::armDeadline() {
  if (closed_ || !timeouts_) return;
  armDeadlineTimer(deadlineTimer_, *timeouts_, [self = shared_from_this()] {
    if (self->closed_ || self->closing_) return;
    self->onDeadline(self->timeouts_->check(std::chrono::steady_clock::now()));
    self->armDeadline();
  });
}

void WebConnection::onDeadline(ConnectionTimeouts::Due due) {
  using Due = ConnectionTimeouts::Due;
  if (due == Due::kNothing) return;
  const auto idle = std::chrono::duration_cast<std::chrono::seconds>(hub_.limits.idleTimeout);
  const std::string text = deadlineText(due, idle);
  send(session_ == 0 ? web::refused(text) : web::worldText(text));
  if (due == Due::kLogInTooLate) closeAfterFlush("no name given in time");
  if (due == Due::kIdleTooLong) closeAfterFlush("idle for " + spokenDuration(idle));
}

void WebConnection::readMessage() {
  ws_->async_read(incoming_, [self = shared_from_this()](ErrorCode ec, std::size_t) {
    if (self->closed_) return;
    if (ec) {
      if (ec == websocket::error::message_too_big) {
        self->close("a message longer than " + std::to_string(kMaxWebMessage) + " bytes");
      } else {
        self->close(ec == websocket::error::closed ? "the browser closed the connection" : ec.message());
      }
      return;
    }
    if (self->closing_) return;
    if (!self->ws_->got_text()) {
      self->refuse("binary frames are not taken: send JSON in text frames");
    } else {
      std::string message = beast::buffers_to_string(self->incoming_.data());
      self->handle(message);
    }
    self->incoming_.consume(self->incoming_.size());
    // While a password waits for its check, nothing more is read.
    if (!self->closed_ && !self->closing_ && !self->paused_) self->readMessage();
  });
}

void WebConnection::send(std::string message) {
  if (closed_ || closing_ || !ws_) return;
  if (!outputFits(unsent_, message.size(), hub_.limits.playerOutputLimit)) {
    close(notReadingReason(hub_.limits.playerOutputLimit));
    return;
  }
  unsent_ += message.size();
  outgoing_.push_back(std::move(message));
  if (writing_ || writePosted_) return;
  // What this turn of the world sends the browser leaves together, after
  // the turn: one frame and one write, however many messages.
  writePosted_ = true;
  boost::asio::post(hub_.io, [self = shared_from_this()] {
    self->writePosted_ = false;
    if (!self->closed_ && !self->writing_ && !self->outgoing_.empty()) self->writeMore();
  });
}

void WebConnection::writeMore() {
  writing_ = true;
  frame_.clear();
  frameCounted_ = 0;
  for (const std::string& m : outgoing_) {
    if (!frame_.empty()) frame_ += '\n';
    frame_ += m;
    frameCounted_ += m.size();
  }
  outgoing_.clear();
  ws_->text(true);
  ws_->async_write(boost::asio::buffer(frame_), [self = shared_from_this()](ErrorCode ec, std::size_t) {
    self->writing_ = false;
    if (self->closed_) return;
    if (ec) {
      self->close("write failed: " + ec.message());
      return;
    }
    self->unsent_ -= self->frameCounted_;
    // A crowd's arrival makes one large frame; its room is not kept for
    // every browser for the rest of the evening.
    if (self->frame_.capacity() > kFrameRoomKept) std::string().swap(self->frame_);
    if (!self->outgoing_.empty()) {
      self->writeMore();
    } else if (self->closing_) {
      self->finishClosing();
    }
  });
}

void WebConnection::finishClosing() {
  ws_->async_close(websocket::close_code::normal, [self = shared_from_this()](ErrorCode) {
    self->close(self->closeReason_);
  });
}

void WebConnection::refuse(const std::string& why) {
  hub_.log(describe() + ": message refused: " + why);
  send(web::error(why));
}

}  // namespace kelva::world
