#include "world/guards/login_throttle.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace kelva::world {

namespace {

using std::chrono::milliseconds;

// The wait after `failures` wrong passwords of which `freeFailures` cost nothing.
milliseconds waitAfter(int failures, int freeFailures, milliseconds first, milliseconds cap) {
  if (failures <= freeFailures) return milliseconds(0);
  int doublings = failures - freeFailures - 1;
  milliseconds wait = first;
  for (int i = 0; i < doublings && wait < cap; ++i) wait *= 2;
  return std::min(wait, cap);
}

std::string describe(milliseconds d) {
  auto s = (d.count() + 999) / 1000;
  if (s >= 60 && s % 60 == 0) return std::to_string(s / 60) + " min";
  return std::to_string(s) + " s";
}

}  // namespace

LoginThrottle::LoginThrottle(ThrottleOptions options, Sink log) : options_(options), log_(std::move(log)) {}

LoginThrottle::Decision LoginThrottle::admit(const std::string& address, const std::string& name, TimePoint now) {
  sweepIfDue(now);
  auto remaining = [&](Table& table, const std::string& key) -> std::pair<Record*, milliseconds> {
    auto it = table.find(key);
    if (it == table.end()) return {nullptr, milliseconds(0)};
    if (it->second.waitEnds <= now) return {&it->second, milliseconds(0)};
    // Rounded up, so a client told "wait 0 s" is never refused again.
    auto left = std::chrono::ceil<milliseconds>(it->second.waitEnds - now);
    return {&it->second, left};
  };
  auto [fromAddress, addressWait] = remaining(addresses_, address);
  auto [onName, nameWait] = remaining(names_, name);
  if (addressWait.count() > 0) {
    ++fromAddress->refused;
    return {Verdict::kRefused, std::max(addressWait, nameWait), Because::kAddress};
  }
  if (nameWait.count() > 0) {
    // Someone else's guessing must not keep the owner out: a clean address
    // waits its turn instead of being refused, however often others try.
    if (!fromAddress) return {Verdict::kCheckLater, nameWait, Because::kName};
    ++onName->refused;
    return {Verdict::kRefused, nameWait, Because::kName};
  }
  return {};
}

void LoginThrottle::failed(const std::string& address, const std::string& name, TimePoint now) {
  sweepIfDue(now);
  fail(addressKind(), address, now);
  fail(nameKind(), name, now);
}

void LoginThrottle::succeeded(const std::string&, const std::string& name, TimePoint) {
  auto it = names_.find(name);
  if (it != names_.end()) forget(nameKind(), it, "the right password was given");
}

void LoginThrottle::fail(const Kind& kind, const std::string& key, TimePoint now) {
  Table& table = *kind.table;
  if (table.size() >= options_.maxRecords && !table.count(key)) {
    sweepTable(kind, now);
    if (table.size() >= options_.maxRecords) {
      // Full of live records: the one quiet longest makes room, so memory
      // stays bounded whatever number of addresses guess.
      auto oldest = std::min_element(table.begin(), table.end(), [](const auto& a, const auto& b) {
        return a.second.lastFailure < b.second.lastFailure;
      });
      forget(kind, oldest, "the table of wrong passwords is full");
    }
  }
  Record& r = table[key];
  if (r.failures < 1000) ++r.failures;  // the wait stops growing long before
  r.lastFailure = now;
  milliseconds wait = waitAfter(r.failures, kind.freeFailures, options_.firstWait, kind.cap);
  if (wait.count() == 0) return;
  r.waitEnds = now + wait;
  if (!r.throttled) {
    r.throttled = true;
    if (log_)
      log_("log-ins " + std::string(kind.what) + " " + key + " are throttled after " + std::to_string(r.failures) +
           " wrong passwords: the next waits " + describe(wait) + ", each further one twice as long, up to " +
           describe(kind.cap));
  }
}

void LoginThrottle::forget(const Kind& kind, Table::iterator it, const char* why) {
  const Record& r = it->second;
  if (r.throttled && log_)
    log_("log-ins " + std::string(kind.what) + " " + it->first + " are no longer throttled (" + why + "; " +
         std::to_string(r.failures) + " wrong passwords, " + std::to_string(r.refused) +
         " attempts refused while waiting)");
  kind.table->erase(it);
}

void LoginThrottle::sweepTable(const Kind& kind, TimePoint now) {
  Table& table = *kind.table;
  for (auto it = table.begin(); it != table.end();) {
    const Record& r = it->second;
    auto next = std::next(it);
    if (now - std::max(r.waitEnds, r.lastFailure) >= options_.forgetAfter) forget(kind, it, "quiet for a while");
    it = next;
  }
}

void LoginThrottle::sweep(TimePoint now) {
  lastSweep_ = now;
  sweepTable(addressKind(), now);
  sweepTable(nameKind(), now);
}

void LoginThrottle::sweepIfDue(TimePoint now) {
  if (now - lastSweep_ >= std::chrono::seconds(1)) sweep(now);
}

bool sameSecret(std::string_view typed, std::string_view stored) {
  // Every byte of the typed text is compared, against the stored byte at the
  // same place or a fixed one past its end, and the differences are only
  // gathered, never branched on.
  volatile unsigned char diff = typed.size() == stored.size() ? 0 : 1;
  const unsigned char filler = 0;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    unsigned char want = i < stored.size() ? static_cast<unsigned char>(stored[i]) : filler;
    diff = static_cast<unsigned char>(diff | (static_cast<unsigned char>(typed[i]) ^ want));
  }
  return diff == 0;
}

std::string sourceKey(std::string_view address) {
  std::string text(address);
  std::array<unsigned char, 16> v6{};
  if (::inet_pton(AF_INET6, text.c_str(), v6.data()) != 1) return text;
  static constexpr std::array<unsigned char, 12> kMapped{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  if (std::equal(kMapped.begin(), kMapped.end(), v6.begin())) {
    char buf[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, v6.data() + 12, buf, sizeof buf);
    return buf;
  }
  std::fill(v6.begin() + 8, v6.end(), 0);
  char buf[INET6_ADDRSTRLEN];
  ::inet_ntop(AF_INET6, v6.data(), buf, sizeof buf);
  return std::string(buf) + "/64";
}

}  // namespace kelva::world
