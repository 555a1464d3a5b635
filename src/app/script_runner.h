// Script mode: the bot against the simulated world, driven by a world script.
//
// A world script is a text of lines, one action each: the operator logging
// the bot in, avatars arriving, chatting and clicking, objects appearing in
// the world, timers ticking, the operator using the console. The runner runs
// the lines in order and prints every visible effect as one transcript line,
// in the order the effects happen; diagnostics go to the error stream only.
// docs/world_scripts.md describes the language.
//
// Exit statuses: 0 the script ran to its end (or to `close`); 1 the world
// refused the login; 2 a line was unknown or malformed (its number is
// reported; the lines before it took effect); 3 a data file could not be
// loaded.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/script_line.h"
#include "app/startup_exit.h"
#include "app/transcript_console.h"
#include "data/file_system.h"
#include "session/sim_world.h"
#include "state/held_outputs.h"

namespace kelva {
class Form1;
}

namespace kelva::app {

class EventRouter;

inline constexpr int kScriptOk = 0;
inline constexpr int kScriptLoginRefused = kExitLoginRefused;
inline constexpr int kScriptMalformed = 2;
inline constexpr int kScriptDataError = kExitDataError;

struct ScriptSettings {
  std::string dataDir;
  std::optional<int64_t> seed;  // none: seeded from the time of day
};

class ScriptRunner {
 public:
  // `files` must outlive the runner. The transcript goes to `out`, the
  // runner's diagnostics to `err`.
  ScriptRunner(FileSystem& files, ScriptSettings settings, std::ostream& out, std::ostream& err);
  ~ScriptRunner();
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs the lines of `in` one at a time until the end, `close`, a refused
  // login, a data error or a malformed line; returns the exit status.
  int run(std::istream& in);

  // Runs one line (its trailing CR already dropped); nullopt to go on, or
  // the exit status to end with.
  std::optional<int> runLine(std::string_view line, int lineNumber);

  SimWorld& world() { return world_; }
  Form1& form() { return *form_; }

 private:
  std::optional<int> execute(const ScriptLine& line, int lineNumber);
  // Queues the event of an event line; false when it is no event line now.
  bool queueEvent(const ScriptLine& line);
  // A console action of the operator: a failure is reported and play goes on.
  template <typename F>
  void operatorAction(const char* what, F&& action);
  int malformed(int lineNumber, const std::string& why);
  void print(const std::string& line);

  std::ostream& out_;
  std::ostream& err_;
  ScriptSettings settings_;
  SimWorld world_;
  TranscriptConsole console_;
  // The bot's outputs of each round wait here until its saves are written.
  HeldOutputs held_;
  std::unique_ptr<Form1> form_;
  std::unique_ptr<EventRouter> router_;
  bool loginSeen_ = false;
};

}  // namespace kelva::app
