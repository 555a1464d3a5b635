#include "console/web/console_api.h"

#include <nlohmann/json.hpp>

#include "app/event_router.h"
#include "app/online_avatars.h"
#include "console/admin_names.h"
#include "console/console_actions.h"
#include "console/console_notices.h"
#include "console/roster_actions.h"
#include "data/checked.h"
#include "state/form1.h"

namespace kelva::console::web {

namespace {

using nlohmann::json;

ApiAnswer answer(const json& body, int status = 200) {
  // Names and lines come from players: bytes that are not UTF-8 are replaced
  // rather than failing the whole answer.
  return ApiAnswer{status, body.dump(-1, ' ', false, json::error_handler_t::replace)};
}

ApiAnswer refused(const std::string& why) { return answer(json{{"error", why}}, 400); }

// The notices as the page shows them: the ones that apply, in order.
json noticeList(std::initializer_list<std::optional<std::string>> notices) {
  json list = json::array();
  for (const auto& n : notices)
    if (n) list.push_back(*n);
  return list;
}

// A text field of the posted object; nullopt when it is missing or not text.
std::optional<std::string> textField(const json& body, const char* name) {
  const auto it = body.find(name);
  if (it == body.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace

ApiAnswer ConsoleApi::state(std::size_t combo1From, std::size_t list1From, uint64_t activityAfter) const {
  const ConsoleModel& console = form_.console;
  json body;
  body["text1"] = console.Text1;
  json names = json::array();
  for (std::size_t i = combo1From; i < console.Combo1.size(); ++i) names.push_back(console.Combo1[i]);
  body["combo1"] = names;
  body["combo1Count"] = console.Combo1.size();
  body["combo1Text"] = console.Combo1Text;
  body["rosterEdits"] = rosterEdits_;
  body["text2"] = console.Text2;
  body["text3"] = console.Text3;
  body["list1Count"] = console.List1.size();
  json list = json::array();
  for (std::size_t i = list1From; i < console.List1.size(); ++i) list.push_back(console.List1[i]);
  body["list1"] = list;
  json activity = json::array();
  if (feed_) {
    for (const FeedEvent& e : feed_->after(activityAfter)) {
      activity.push_back(json{{"number", e.number}, {"time", e.time}, {"text", e.text}});
    }
  }
  body["activity"] = activity;
  return answer(body);
}

ApiAnswer ConsoleApi::characters() const {
  json list = json::array();
  for (int16_t i = 0; i < form_.playerCount; ++i) {
    const PlayerRecord& r = at(form_.roster, i);
    list.push_back(json{{"name", r.name},   {"level", r.level}, {"hp", r.hp},    {"maxHp", r.maxHp},
                        {"gold", r.gold},   {"exp", r.exp},     {"clan", r.clan}});
  }
  return answer(json{{"characters", list}});
}

ApiAnswer ConsoleApi::online() const {
  json list = json::array();
  if (online_) {
    for (const app::OnlineAvatar& a : online_->list()) {
      json entry{{"name", a.name}, {"session", a.session}};
      // The character the avatar plays, wherever it lies on the roster.
      for (int16_t i = 0; i < form_.playerCount; ++i) {
        const PlayerRecord& r = at(form_.roster, i);
        if (r.name != a.name) continue;
        entry["character"] = json{{"level", r.level}, {"hp", r.hp},     {"maxHp", r.maxHp},
                                  {"gold", r.gold},   {"clan", r.clan}};
        break;
      }
      list.push_back(entry);
    }
  }
  return answer(json{{"online", list}});
}

bool ConsoleApi::isOnline(const std::string& name) const { return online_ && online_->isOnline(name); }

ApiAnswer ConsoleApi::charts() const {
  json points = json::array();
  if (metrics_) {
    for (const MinuteFigures& m : metrics_->lastHour()) {
      points.push_back(json{{"minute", m.minute},
                            {"commands", m.commands},
                            {"replyMedian", m.replyMedian},
                            {"replyP99", m.replyP99},
                            {"saves", m.saves},
                            {"saveSeconds", m.saveSeconds},
                            {"playersOnline", m.playersOnline}});
    }
  }
  return answer(json{{"minutes", points}});
}

ApiAnswer ConsoleApi::act(const std::string& action, const std::string& text) {
  const json body = json::parse(text, nullptr, false);
  if (body.is_discarded() || !body.is_object()) return refused("the request is not a JSON object");
  if (action == "admin") return setAdmin(body);
  if (action == "select") return select(body);
  if (action == "change") return change(body);
  if (action == "say") return say(body);
  if (action == "rename") return rename(body);
  if (action == "remove-guests") return removeGuests();
  return answer(json{{"error", "no such action"}}, 404);
}

ApiAnswer ConsoleApi::setAdmin(const json& body) {
  const auto name = textField(body, "name");
  const auto index = body.find("index");
  if (!name || index == body.end() || !index->is_number_unsigned()) return refused("give the box's index and a name");
  const auto i = index->get<std::size_t>();
  if (i >= kAdminBoxes) return refused("there is no administrator box " + std::to_string(i));
  const Status kept = setAdminName(form_, i, *name);
  if (form_.console.Text1[i] != *name) return refused(kept.message());
  // A name the box took but the file did not keep is in force all the same:
  // the page says so.
  return answer(json{{"text1", form_.console.Text1},
                     {"notices", noticeList({kept.isOk() ? std::nullopt : std::optional(kept.message())})}});
}

ApiAnswer ConsoleApi::select(const json& body) {
  const auto name = textField(body, "name");
  if (!name) return refused("give a name");
  const auto notice = console::selectNotice(form_, *name);
  router_.consoleAction("selecting a name", [&] { console::selectCombo1(form_, *name); });
  return answer(json{{"combo1Text", form_.console.Combo1Text},
                     {"text2", form_.console.Text2},
                     {"text3", form_.console.Text3},
                     {"notices", noticeList({notice})}});
}

ApiAnswer ConsoleApi::change(const json& body) {
  const auto text2 = textField(body, "text2");
  const auto text3 = textField(body, "text3");
  if (!text2 || !text3) return refused("give text2 and text3");
  // What the operator typed into the boxes, as the window's boxes hold it.
  form_.console.Text2 = *text2;
  form_.console.Text3 = *text3;
  const json notices = noticeList({console::boxNotice("Text2", *text2), console::boxNotice("Text3", *text3),
                                   console::changeNotice(form_)});
  router_.consoleAction("Change", [&] { console::pressCommand1(form_); });
  return answer(json{{"notices", notices}});
}

ApiAnswer ConsoleApi::say(const json& body) {
  const auto line = textField(body, "text");
  if (!line || line->empty()) return refused("give the line to say");
  if (line->size() > kLongestSay) return refused("the line is longer than " + std::to_string(kLongestSay) + " bytes");
  if (line->find_first_of("\r\n") != std::string::npos) return refused("the line holds a line break");
  router_.consoleAction("saying", [&] {
    form_.sdk.Say(*line);
    form_.activityLog->record("console: the bot said: " + *line);
  });
  return answer(json{{"notices", json::array()}});
}

// Not a round of the router: the change is written before the answer, and a
// failed write leaves the roster as it was.
ApiAnswer ConsoleApi::rename(const json& body) {
  const auto from = textField(body, "from");
  const auto to = textField(body, "to");
  if (!from || !to) return refused("give the guest's name (from) and the new name (to)");
  const Status done = console::renameGuestCharacter(form_, *from, *to, [this](const std::string& n) { return isOnline(n); });
  if (!done.isOk()) return refused(done.message());
  ++rosterEdits_;
  return answer(json{{"notices", json::array({*from + "'s character is now " + *to + "'s."})}});
}

ApiAnswer ConsoleApi::removeGuests() {
  const Result<std::size_t> done =
      console::removeOfflineGuests(form_, [this](const std::string& n) { return isOnline(n); });
  if (!done.isOk()) return refused(done.status().message());
  if (done.value() > 0) ++rosterEdits_;
  const std::size_t n = done.value();
  return answer(json{{"removed", n},
                     {"notices", json::array({n == 0 ? std::string("No guest to remove.")
                                                     : "Removed " + std::to_string(n) +
                                                           (n == 1 ? " guest" : " guests") + " who were not online."})}});
}

}  // namespace kelva::console::web
