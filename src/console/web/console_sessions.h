// The operator's log-ins to the console page: each is a random token kept
// in an HttpOnly cookie, with its own form key that every change must carry
// (a page of another site can make the browser send the cookie, but cannot
// read the key). A session ends after hours without use or at log-out; only
// a few are kept, the least recently used making room.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kelva::console::web {

inline constexpr const char* kSessionCookie = "kelva_console";

class ConsoleSessions {
 public:
  using Clock = std::chrono::steady_clock;
  struct Opened {
    std::string token;
    std::string formKey;
  };

  explicit ConsoleSessions(std::chrono::minutes idleLimit = std::chrono::hours(8), std::size_t most = 16)
      : idleLimit_(idleLimit), most_(most) {}

  Opened open(Clock::time_point now);
  // The form key of the session `token`, if it is open; counts as a use.
  std::optional<std::string> use(std::string_view token, Clock::time_point now);
  void close(std::string_view token);
  std::size_t size() const { return sessions_.size(); }

 private:
  struct Session {
    std::string formKey;
    Clock::time_point lastUse;
  };
  std::chrono::minutes idleLimit_;
  std::size_t most_;
  std::map<std::string, Session, std::less<>> sessions_;
};

// The value of the cookie `name` in a Cookie header; empty when absent.
std::string_view cookieValue(std::string_view header, std::string_view name);

}  // namespace kelva::console::web
