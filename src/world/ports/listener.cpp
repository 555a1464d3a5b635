#include "world/ports/listener.h"

#include "world/ports/socket_connection.h"

namespace kelva::world {

Listener::Listener(ConnectionHub& hub, const char* what)
    : hub_(hub), acceptor_(hub.io), what_(what), pause_(hub.io) {}

Status Listener::open(const std::string& address, uint16_t port) {
  ErrorCode e;
  asio::ip::address ip = asio::ip::make_address(address, e);
  if (e) return Status::error("cannot listen on " + address + ": " + e.message());
  tcp::endpoint endpoint(ip, port);
  acceptor_.open(endpoint.protocol(), e);
  if (!e) acceptor_.set_option(tcp::acceptor::reuse_address(true), e);
  if (!e) acceptor_.bind(endpoint, e);
  if (!e) acceptor_.listen(asio::socket_base::max_listen_connections, e);
  if (e)
    return Status::error(std::string("cannot open the ") + what_ + " port " + address + ":" + std::to_string(port) +
                         ": " + e.message());
  acceptMore();
  return Status::ok();
}

uint16_t Listener::port() const { return acceptor_.local_endpoint().port(); }

void Listener::closeListener() {
  ErrorCode ignored;
  pause_.cancel();
  acceptor_.close(ignored);
}

void Listener::acceptMore() {
  acceptor_.async_accept([this](const ErrorCode& ec, tcp::socket socket) {
    if (hub_.stopped || ec == asio::error::operation_aborted) return;
    if (!ec) {
      if (failedSinceLastSuccess_ > 0 && backoff_.backingOff())
        hub_.log("accepting " + std::string(what_) + " connections again after " +
                 std::to_string(failedSinceLastSuccess_) + " failures");
      failedSinceLastSuccess_ = 0;
      backoff_.succeeded();
      accepted(std::move(socket));
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

void Listener::admit(const std::shared_ptr<SocketConnection>& connection, ConnectionCaps& caps,
                     const std::string& noun,
                     const std::function<std::string(const ConnectionCaps::Admission&)>& refusal) {
  ConnectionCaps::Admission a = caps.admit(connection->source(), noun);
  const std::string kind(what_);
  if (!a.ticket) {
    // A flood from one address is one line a second, with a count.
    hub_.guards.logOnce("refused " + kind + " " + a.cap + " " + connection->source(),
                        kind + " connection from " + connection->peer() + " refused: " + a.refusal);
    connection->turnAway(refusal(a), a.refusal);
    return;
  }
  a.ticket->onEvicted([weak = std::weak_ptr<SocketConnection>(connection)] {
    if (auto c = weak.lock()) {
      c->sayGoodbye(kMadeRoom);
      c->closeAfterFlush("let go to make room for a newer connection");
    }
  });
  connection->holdPlace(std::move(*a.ticket));
  hub_.guards.logOnce("connection " + kind + " " + connection->source(),
                      kind + " connection from " + connection->peer());
  connection->start();
}

}  // namespace kelva::world
