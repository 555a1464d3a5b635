#include "world/accept_loop.h"

namespace kelva::world {

AcceptLoop::AcceptLoop(ConnectionHub& hub, const char* what)
    : hub_(hub), what_(what), acceptor_(hub.io), pause_(hub.io) {}

Status AcceptLoop::open(const std::string& address, uint16_t port, Handler handler) {
  handler_ = std::move(handler);
  Status s = openListener(acceptor_, address, port, what_);
  if (s.isOk()) acceptMore();
  return s;
}

uint16_t AcceptLoop::port() const { return acceptor_.local_endpoint().port(); }

void AcceptLoop::close() {
  ErrorCode ignored;
  pause_.cancel();
  acceptor_.close(ignored);
}

void AcceptLoop::acceptMore() {
  acceptor_.async_accept([this](const ErrorCode& ec, tcp::socket socket) {
    if (hub_.stopped || ec == asio::error::operation_aborted) return;
    if (!ec) {
      if (failedSinceLastSuccess_ > 0 && backoff_.backingOff())
        hub_.log("accepting " + std::string(what_) + " connections again after " +
                 std::to_string(failedSinceLastSuccess_) + " failures");
      failedSinceLastSuccess_ = 0;
      backoff_.succeeded();
      handler_(std::move(socket));
      acceptMore();
      return;
    }
    ++failedSinceLastSuccess_;
    std::chrono::milliseconds wait = backoff_.failed(ec.value());
    std::string line = "accepting a " + std::string(what_) + " connection failed: " + ec.message();
    if (wait.count() > 0) line += "; waiting " + std::to_string(wait.count()) + " ms before the next try";
    hub_.guards.logOnce(std::string("accept ") + what_, line);
    if (wait.count() == 0) {
      acceptMore();
      return;
    }
    // Out of descriptors or memory: trying again at once would fail again at
    // once. The clients wait in the listen queue meanwhile.
    pause_.expires_after(wait);
    pause_.async_wait([this](const ErrorCode& e) {
      if (!e && !hub_.stopped) acceptMore();
    });
  });
}

}  // namespace kelva::world
