#include "world/ports/world_metrics.h"

#include "data/prometheus_text.h"

namespace kelva::world {

WorldMetrics::WorldMetrics() {
  // Every kind and the usual reasons are listed from the start, so a
  // scraper sees them at 0 rather than a series that appears later.
  for (const char* reason : {"password", "throttled", "name", "bot"}) loginsRefused_[reason] = 0;
  for (const char* kind : {"line", "web", "bot"}) (*connections_)[kind] = 0;
}

std::string WorldMetrics::exposition(std::size_t playersOnline) const {
  PrometheusText out;
  out.family("kelva_players_online", "gauge", "Players in the world (bots not counted).");
  out.sample("kelva_players_online", playersOnline);
  out.family("kelva_logins_refused_total", "counter", "Log-ins the world refused, by reason.");
  out.samples("kelva_logins_refused_total", "reason", loginsRefused_);
  out.family("kelva_connections", "gauge", "Open connections, by kind.");
  out.samples("kelva_connections", "kind", *connections_);
  return out.text();
}

bool metricsAllowedFrom(const boost::asio::ip::address& peer) {
  if (peer.is_loopback()) return true;
  // An IPv6 socket sees 127.0.0.1 as ::ffff:127.0.0.1.
  if (peer.is_v6() && peer.to_v6().is_v4_mapped())
    return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, peer.to_v6()).is_loopback();
  return false;
}

}  // namespace kelva::world
