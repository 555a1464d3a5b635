// The world's figures for a monitoring system, at /metrics on the web port:
// players in the world, log-ins refused by reason, open connections by
// kind. Only this machine may read them (`metricsAllowedFrom`): who is
// online and how often passwords fail is no stranger's business.
//
// Everything here runs on the world's thread.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace kelva::world {

class WorldMetrics {
 public:
  WorldMetrics();

  void loginRefused(const std::string& reason) { ++loginsRefused_[reason]; }
  // A connection of `kind` ("line", "web", "bot") counted for its life. A
  // connection may outlive the world's server (its last handlers run when
  // the event loop goes), so it shares the counts rather than pointing at them.
  class Counted {
   public:
    Counted(WorldMetrics& metrics, std::string kind) : counts_(metrics.connections_), kind_(std::move(kind)) {
      ++(*counts_)[kind_];
    }
    ~Counted() { --(*counts_)[kind_]; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

   private:
    std::shared_ptr<std::map<std::string, int64_t>> counts_;
    std::string kind_;
  };

  // Everything in the text format.
  std::string exposition(std::size_t playersOnline) const;

 private:
  std::map<std::string, uint64_t> loginsRefused_;
  std::shared_ptr<std::map<std::string, int64_t>> connections_ =
      std::make_shared<std::map<std::string, int64_t>>();
};

// Whether a request from `peer` may read the figures: this machine only.
bool metricsAllowedFrom(const boost::asio::ip::address& peer);

}  // namespace kelva::world
