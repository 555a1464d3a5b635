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

#include "data/file_system.h"
#include "data/result.h"
#include "session/sim_world.h"
#include "state/console_model.h"
#include "state/held_outputs.h"

namespace kelva {
class Form1;
}

namespace kelva::app {

class EventRouter;

inline constexpr int kScriptOk = 0;
inline constexpr int kScriptLoginRefused = 1;
inline constexpr int kScriptMalformed = 2;
inline constexpr int kScriptDataError = 3;

enum class ScriptCommand {
  kLogin,
  kWorldLoginResult,
  kWorldQueryRounds,
  kWorldAdd,
  kWorldDelete,
  kArrive,
  kChat,
  kClickObject,
  kClickAvatar,
  kQueue,
  kPump,
  kTimer1,
  kTimer2,
  kAdmin,
  kSelect,
  kText2,
  kText3,
  kChange,
  kClose
};

// One script line, taken apart. Only the fields of its command are set.
struct ScriptLine {
  ScriptCommand command = ScriptCommand::kPump;
  std::vector<std::string> answers;  // login: the seven prompt answers, as typed
  std::string name;                  // avatar name; admin, select: the name typed
  std::string text;                  // chat: the line; text2, text3: what is typed
  std::string clickedName;
  int32_t session = 0;
  int32_t clickedSession = 0;
  int32_t number = 0;  // object number; world-login-result: the code; admin: the box
  int32_t count = 1;   // pump, timer1, timer2: ticks; world-query-rounds: rounds
  SimObject object;    // world-add
  std::shared_ptr<const ScriptLine> queued;  // queue: the event line

  // Whether the line can be the event of `queue` (world-add and world-delete
  // only once the bot is logged in).
  bool isEventLine(bool loggedIn) const;
};

// Takes one line apart (without its line end). nullopt for a line to skip (a
// blank line or a comment); an error Status says what is wrong with it.
Result<std::optional<ScriptLine>> parseScriptLine(std::string_view line);

struct ScriptSettings {
  std::string dataDir;
  std::optional<int64_t> seed;  // none: seeded from the time of day
};

// The console, the sound and the start-up dialogs of script mode: each
// change the program makes is one transcript line; the prompts are answered
// from the login line.
class TranscriptConsole : public ConsoleView, public Sound, public Dialogs {
 public:
  explicit TranscriptConsole(SimWorld::Sink sink) : sink_(std::move(sink)) {}
  void setAnswers(std::vector<std::string> answers) { answers_ = std::move(answers); }

  void combo1Added(const std::string& name) override { sink_("combo1 " + name); }
  void text2Written(const std::string& text) override { sink_("text2 " + text); }
  void text3Written(const std::string& text) override { sink_("text3 " + text); }
  void list1Added(const std::string& entry) override { sink_("list1 " + entry); }
  void restart() override { sink_("sound"); }
  // The next answer of the login line; cancelled when none is left.
  std::optional<std::string> inputBox(const std::string& prompt) override;
  void messageBox(const std::string& text) override { sink_("messagebox " + text); }

 private:
  SimWorld::Sink sink_;
  std::vector<std::string> answers_;
  std::size_t next_ = 0;
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
