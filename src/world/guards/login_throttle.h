// Slows down password guessing on every port that takes a password.
//
// Wrong passwords are counted per source address and per account name. After
// a few free failures, each further failure makes the next attempt wait
// twice as long as the one before: from the address, up to a long cap (a
// guesser gets a handful of tries an hour); on the name, from anywhere, up to
// a short cap, so that guessing from many addresses is slowed too while the
// account's owner is never kept out for long. An attempt from an address
// that has no failures of its own is never refused because of the name: it is
// checked once the name's current wait is over (at most the short cap). Every
// other attempt that comes during a wait is refused unchecked, and the client
// learns how long to wait; such refusals are not failures, so a player who
// keeps trying does not make the wait longer.
//
// The throttle knows nothing of sockets: the caller passes the address and
// the name as texts and the time, and reports each checked attempt's outcome.
// It logs each throttle once when it begins and once when it ends, with the
// counts, never once per attempt. Its tables are bounded.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kelva::world {

struct ThrottleOptions {
  int freeFailuresPerAddress = 5;
  int freeFailuresPerName = 5;
  std::chrono::milliseconds firstWait{1000};
  std::chrono::milliseconds addressWaitCap{std::chrono::minutes(15)};
  // Short, so that guessing on a name from elsewhere keeps its owner out for
  // seconds, not minutes; and within a bot's ten-second log-in window.
  std::chrono::milliseconds nameWaitCap{std::chrono::seconds(8)};
  // A record with no failure for this long after its wait ended is forgotten.
  std::chrono::milliseconds forgetAfter{std::chrono::minutes(15)};
  // Most addresses (and, apart, names) remembered; past it the record whose
  // last failure is oldest makes room.
  std::size_t maxRecords = 65536;
};

class LoginThrottle {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Sink = std::function<void(const std::string&)>;

  enum class Verdict {
    kCheckNow,    // check the password now and report the outcome
    kCheckLater,  // the name is throttled but this address is clean: check it after `wait`
    kRefused,     // throttled: refuse unchecked and tell the client to come back after `wait`
  };
  enum class Because { kNothing, kAddress, kName };
  struct Decision {
    Verdict verdict = Verdict::kCheckNow;
    std::chrono::milliseconds wait{0};
    Because because = Because::kNothing;
  };

  explicit LoginThrottle(ThrottleOptions options = {}, Sink log = {});

  // What to do with an attempt from `address` on `name` now. A kCheckLater
  // attempt is checked when its wait is over without asking again.
  Decision admit(const std::string& address, const std::string& name, TimePoint now);
  // The outcome of a checked attempt.
  void failed(const std::string& address, const std::string& name, TimePoint now);
  // A right password clears the name's failures (its owner is back). The
  // address keeps its own: one account of one's own must not buy more
  // guesses on others.
  void succeeded(const std::string& address, const std::string& name, TimePoint now);
  // Forgets records that have been quiet long enough and logs the end of
  // their throttles. `admit` and `failed` do it too, at most once a second.
  void sweep(TimePoint now);

  std::size_t addressesRemembered() const { return addresses_.size(); }
  std::size_t namesRemembered() const { return names_.size(); }

 private:
  struct Record {
    int failures = 0;
    TimePoint lastFailure{};
    TimePoint waitEnds{};  // no attempt is checked before this
    uint64_t refused = 0;  // attempts refused while waiting, for the log
    bool throttled = false;
  };
  using Table = std::unordered_map<std::string, Record>;
  struct Kind {
    Table* table;
    int freeFailures;
    std::chrono::milliseconds cap;
    const char* what;  // "from" or "as", for the log
  };

  void fail(const Kind& kind, const std::string& key, TimePoint now);
  void forget(const Kind& kind, Table::iterator it, const char* why);
  void sweepTable(const Kind& kind, TimePoint now);
  void sweepIfDue(TimePoint now);
  Kind addressKind() { return {&addresses_, options_.freeFailuresPerAddress, options_.addressWaitCap, "from"}; }
  Kind nameKind() { return {&names_, options_.freeFailuresPerName, options_.nameWaitCap, "as"}; }

  ThrottleOptions options_;
  Sink log_;
  Table addresses_;
  Table names_;
  TimePoint lastSweep_{};
};

// Compares a typed secret with the stored one in a time that depends only on
// the typed length, so the time of a refusal tells a guesser nothing about
// how much of the secret matched.
bool sameSecret(std::string_view typed, std::string_view stored);

// The key an address is throttled and capped under: an IPv4 address (also
// when written as an IPv4-mapped IPv6 address) as it is; an IPv6 address by
// its /64 network, since one host commonly holds a whole /64. A text that is
// not an address is its own key.
std::string sourceKey(std::string_view address);

}  // namespace kelva::world
