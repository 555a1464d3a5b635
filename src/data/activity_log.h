// The operator's activity log: one line per event that matters in the game
// (log-ins, arrivals, battles and deaths, level-ups, purchases, clan joins,
// skills learned, administrator commands, console gifts, owner messages,
// failed saves and refused loads), so that the person who runs the bot can
// see afterwards who did what.
//
// The game only names the events; the program decides where they go (a
// rotated, timestamped file in the data folder). The default keeps nothing,
// so script mode and the tests are unaffected.
#pragma once

#include <string_view>

namespace kelva {

class ActivityLog {
 public:
  virtual ~ActivityLog() = default;
  // One event in words, without a timestamp (the log adds it). Never
  // throws: a log that cannot be written must not stop the game.
  virtual void record(std::string_view event) noexcept = 0;
};

// The log that keeps nothing.
class NoActivityLog : public ActivityLog {
 public:
  void record(std::string_view) noexcept override {}
};

inline ActivityLog& noActivityLog() {
  static NoActivityLog none;
  return none;
}

}  // namespace kelva
