#include "console/web/console_sessions.h"

#include <algorithm>

#include "auth/password_hash.h"

namespace kelva::console::web {

ConsoleSessions::Opened ConsoleSessions::open(Clock::time_point now) {
  while (sessions_.size() >= most_) {
    auto oldest = std::min_element(sessions_.begin(), sessions_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    sessions_.erase(oldest);
  }
  Opened opened{auth::randomToken(), auth::randomToken()};
  sessions_[opened.token] = Session{opened.formKey, now};
  return opened;
}

std::optional<std::string> ConsoleSessions::use(std::string_view token, Clock::time_point now) {
  if (token.empty()) return std::nullopt;
  // The map's lookup compares the token byte by byte; the cookie's token is
  // random and long, so its timing tells a guesser nothing usable, and the
  // match is confirmed with a constant-time comparison.
  const auto it = sessions_.find(token);
  if (it == sessions_.end() || !auth::sameToken(it->first, token)) return std::nullopt;
  if (now - it->second.lastUse > idleLimit_) {
    sessions_.erase(it);
    return std::nullopt;
  }
  it->second.lastUse = now;
  return it->second.formKey;
}

void ConsoleSessions::close(std::string_view token) {
  if (const auto it = sessions_.find(token); it != sessions_.end()) sessions_.erase(it);
}

std::string_view cookieValue(std::string_view header, std::string_view name) {
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=') {
      return pair.substr(name.size() + 1);
    }
    start = end + 1;
  }
  return {};
}

}  // namespace kelva::console::web
