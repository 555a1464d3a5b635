#include "console/web/metrics.h"

#include <algorithm>
#include <cmath>

namespace kelva::console::web {

namespace {

// A reply is expected in well under a second; a save in milliseconds.
const std::vector<double> kReplyBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};
const std::vector<double> kSaveBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 1};

}  // namespace

Histogram::Histogram(std::vector<double> bounds) : bounds_(std::move(bounds)), counts_(bounds_.size() + 1, 0) {}

void Histogram::observe(double seconds) {
  std::size_t i = 0;
  while (i < bounds_.size() && seconds > bounds_[i]) ++i;
  ++counts_[i];
  ++count_;
  sum_ += seconds;
}

double Histogram::quantile(double q) const {
  if (count_ == 0) return 0;
  const double wanted = std::ceil(q * static_cast<double>(count_));
  uint64_t seen = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += counts_[i];
    if (static_cast<double>(seen) >= wanted) return i < bounds_.size() ? bounds_[i] : bounds_.back();
  }
  return bounds_.back();
}

void Histogram::write(PrometheusText& out, const std::string& name) const {
  uint64_t cumulative = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    cumulative += counts_[i];
    const std::string le = i < bounds_.size() ? PrometheusText::number(bounds_[i]) : "+Inf";
    out.sample(name + "_bucket", "le", le, cumulative);
  }
  out.sample(name + "_sum", sum_);
  out.sample(name + "_count", count_);
}

GameMetrics::GameMetrics() : reply_(kReplyBounds), save_(kSaveBounds), minuteReply_(kReplyBounds) {
  // Both reasons are listed from the start, so a scraper sees them at 0.
  loginsRefused_["password"] = 0;
  loginsRefused_["throttled"] = 0;
  connections_["console"] = 0;
}

MinuteFigures& GameMetrics::minuteOf(Clock::time_point now) {
  const int64_t minute = std::chrono::duration_cast<std::chrono::minutes>(now.time_since_epoch()).count();
  if (minutes_.empty() || minutes_.back().minute != minute) {
    MinuteFigures fresh;
    fresh.minute = minute;
    fresh.playersOnline = playersOnline_;  // those online stay into the new minute
    minutes_.push_back(fresh);
    minuteReply_ = Histogram(kReplyBounds);
    while (minutes_.size() > 60) minutes_.pop_front();
  }
  return minutes_.back();
}

void GameMetrics::commandReceived(Clock::time_point now) {
  ++commands_;
  ++minuteOf(now).commands;
}

void GameMetrics::replied(double seconds) {
  reply_.observe(seconds);
  MinuteFigures& minute = minuteOf(Clock::now());
  minuteReply_.observe(seconds);
  minute.replyMedian = minuteReply_.quantile(0.5);
  minute.replyP99 = minuteReply_.quantile(0.99);
}

void GameMetrics::saved(double seconds, bool ok, Clock::time_point now) {
  ++saves_;
  if (!ok) ++saveFailures_;
  save_.observe(seconds);
  MinuteFigures& minute = minuteOf(now);
  ++minute.saves;
  minute.saveSeconds += seconds;
}

void GameMetrics::playersOnline(uint64_t count, Clock::time_point now) {
  playersOnline_ = count;
  MinuteFigures& minute = minuteOf(now);
  minute.playersOnline = std::max(minute.playersOnline, count);
}

std::string GameMetrics::exposition() const {
  PrometheusText out;
  out.family("kelva_players_online", "gauge", "Players in the world, as the bot saw them arrive and leave.");
  out.sample("kelva_players_online", playersOnline_);
  out.family("kelva_commands_total", "counter", "Chat lines the bot received from players.");
  out.sample("kelva_commands_total", commands_);
  out.family("kelva_reply_seconds", "histogram", "Time from a player's chat line to the bot's first answer to them.");
  reply_.write(out, "kelva_reply_seconds");
  out.family("kelva_saves_total", "counter", "Data files written.");
  out.sample("kelva_saves_total", saves_);
  out.family("kelva_save_seconds", "histogram", "Time to write a data file durably.");
  save_.write(out, "kelva_save_seconds");
  out.family("kelva_save_failures_total", "counter", "Data file writes that failed.");
  out.sample("kelva_save_failures_total", saveFailures_);
  out.family("kelva_logins_refused_total", "counter", "Console log-ins refused, by reason.");
  out.samples("kelva_logins_refused_total", "reason", loginsRefused_);
  out.family("kelva_connections", "gauge", "Open connections, by kind.");
  out.samples("kelva_connections", "kind", connections_);
  return out.text();
}

std::vector<MinuteFigures> GameMetrics::lastHour(Clock::time_point now) const {
  const int64_t minute = std::chrono::duration_cast<std::chrono::minutes>(now.time_since_epoch()).count();
  std::vector<MinuteFigures> out;
  for (const MinuteFigures& m : minutes_)
    if (m.minute > minute - 60) out.push_back(m);
  return out;
}

}  // namespace kelva::console::web
