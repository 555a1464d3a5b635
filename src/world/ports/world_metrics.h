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
#include <string>

namespace kelva::world {

class WorldMetrics {
 public:
  WorldMetrics();

  void loginRefused(const std::string& reason) { ++loginsRefused_[reason]; }
  // A connection of `kind` ("line", "web", "bot") counted for its life.
  class Counted {
   public:
    Counted(WorldMetrics& metrics, std::string kind) : metrics_(metrics), kind_(std::move(kind)) {
      ++metrics_.connections_[kind_];
    }
    ~Counted() { --metrics_.connections_[kind_]; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

   private:
    WorldMetrics& metrics_;
    std::string kind_;
  };

  // Everything in the text format.
  std::string exposition(std::size_t playersOnline) const;

 private:
  std::map<std::string, uint64_t> loginsRefused_;
  std::map<std::string, int64_t> connections_;
};

// Whether a request from `peer` may read the figures: this machine only.
bool metricsAllowedFrom(const boost::asio::ip::address& peer);

}  // namespace kelva::world
