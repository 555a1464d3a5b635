// What the console page reads and does, in JSON, on the one Form1: the same
// console actions as the window and the terminal (console_actions.h), each a
// round of the event router, and the same notices as the terminal's.
//
// The caller has already checked the operator's session and, for a change,
// its form key; this knows nothing of HTTP but its status codes.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "console/web/activity_feed.h"
#include "console/web/metrics.h"

namespace kelva {
class Form1;
}
namespace kelva::app {
class EventRouter;
class OnlineAvatars;
}

namespace kelva::console::web {

struct ApiAnswer {
  int status = 200;
  std::string body;  // JSON
};

// The longest line the bot says for the operator; longer ones are refused.
inline constexpr std::size_t kLongestSay = 255;

class ConsoleApi {
 public:
  // All must outlive the api; `feed`, `metrics` and `online` may be null
  // (with no list of who is online, nobody counts as online).
  ConsoleApi(Form1& form, app::EventRouter& router, const ActivityFeed* feed, const GameMetrics* metrics,
             const app::OnlineAvatars* online = nullptr)
      : form_(form), router_(router), feed_(feed), metrics_(metrics), online_(online) {}

  // GET /api/state: the boxes, the picker's names from number `combo1From`
  // on, the owner messages from number `list1From` on and the activity
  // events after `activityAfter` (a page asks only for what it lacks).
  ApiAnswer state(std::size_t combo1From, std::size_t list1From, uint64_t activityAfter) const;
  // GET /api/characters: every character with its level, hp, gold and clan.
  ApiAnswer characters() const;
  // GET /api/online: the avatars online, each with its character when it
  // has one.
  ApiAnswer online() const;
  // GET /api/charts: the last hour, a minute a point.
  ApiAnswer charts() const;
  // POST /api/...: `action` is the path's last word, `body` the JSON sent.
  ApiAnswer act(const std::string& action, const std::string& body);

 private:
  ApiAnswer setAdmin(const nlohmann::json& body);
  ApiAnswer select(const nlohmann::json& body);
  ApiAnswer change(const nlohmann::json& body);
  ApiAnswer say(const nlohmann::json& body);
  ApiAnswer rename(const nlohmann::json& body);
  ApiAnswer removeGuests();
  bool isOnline(const std::string& name) const;

  Form1& form_;
  app::EventRouter& router_;
  const ActivityFeed* feed_;
  const GameMetrics* metrics_;
  const app::OnlineAvatars* online_;
  // Roster changes made here: the page reads the picker's names afresh when
  // this changes, since a rename or removal changes names it already has.
  uint64_t rosterEdits_ = 0;
};

}  // namespace kelva::console::web
