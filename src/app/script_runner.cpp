#include "app/script_runner.h"

#include <istream>
#include <ostream>

#include "app/event_router.h"
#include "app/startup_exit.h"
#include "console/console_actions.h"
#include "session/startup.h"
#include "state/form1.h"

namespace kelva::app {

ScriptRunner::ScriptRunner(FileSystem& files, ScriptSettings settings, std::ostream& out, std::ostream& err)
    : out_(out),
      err_(err),
      settings_(std::move(settings)),
      world_([this](const std::string& line) { print(line); }),
      console_([this](const std::string& line) { print(line); }),
      held_(world_, console_, console_),
      form_(std::make_unique<Form1>(held_, files, held_, held_, settings_.dataDir)),
      router_(std::make_unique<EventRouter>(*form_, &held_)) {}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::print(const std::string& line) { out_ << line << '\n'; }

int ScriptRunner::malformed(int lineNumber, const std::string& why) {
  err_ << "kelvabot: script line " << lineNumber << ": " << why << '\n';
  return kScriptMalformed;
}

int ScriptRunner::run(std::istream& in) {
  std::string text;
  int lineNumber = 0;
  while (std::getline(in, text)) {
    ++lineNumber;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const auto status = runLine(text, lineNumber);
    out_.flush();
    if (status) return *status;
  }
  return kScriptOk;
}

std::optional<int> ScriptRunner::runLine(std::string_view text, int lineNumber) {
  auto parsed = parseScriptLine(text);
  if (!parsed.isOk()) return malformed(lineNumber, parsed.status().message());
  if (!parsed.value()) return std::nullopt;
  return execute(*parsed.value(), lineNumber);
}

bool ScriptRunner::queueEvent(const ScriptLine& line) {
  switch (line.command) {
    case ScriptCommand::kArrive:
      world_.queueAvatarArrival(line.name);
      return true;
    case ScriptCommand::kChat:
      world_.queueChat(line.name, line.session, line.text);
      return true;
    case ScriptCommand::kClickObject:
      world_.queueObjectClick(line.name, line.session, line.number);
      return true;
    case ScriptCommand::kClickAvatar:
      world_.queueAvatarClick(line.name, line.session, line.clickedName, line.clickedSession);
      return true;
    case ScriptCommand::kWorldAdd:
      if (!world_.loggedIn()) return false;
      world_.putObject(line.object);
      return true;
    case ScriptCommand::kWorldDelete:
      if (!world_.loggedIn()) return false;
      if (!world_.removeObject(line.number)) {
        err_ << "kelvabot: the world holds no object " << line.number << " to delete\n";
      }
      return true;
    default:
      return false;
  }
}

template <typename F>
void ScriptRunner::operatorAction(const char* what, F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    err_ << "kelvabot: " << what << " failed: " << e.what() << '\n';
  }
}

std::optional<int> ScriptRunner::execute(const ScriptLine& line, int lineNumber) {
  Form1& form = *form_;
  switch (line.command) {
    case ScriptCommand::kLogin: {
      if (loginSeen_) return malformed(lineNumber, "the bot is already logged in");
      loginSeen_ = true;
      console_.setAnswers(line.answers);
      const auto result = session::formLoad(form, console_, settings_.seed);
      return startupExitStatus(result, err_);
    }
    case ScriptCommand::kWorldLoginResult:
      world_.setLoginResult(line.number);
      return std::nullopt;
    case ScriptCommand::kWorldQueryRounds:
      world_.setQueryRounds(line.count);
      return std::nullopt;
    case ScriptCommand::kWorldAdd:
    case ScriptCommand::kWorldDelete:
      if (!world_.loggedIn()) {
        // Before login the world just holds or drops the object; the query
        // will report what it holds.
        if (line.command == ScriptCommand::kWorldAdd) {
          world_.putObject(line.object);
        } else if (!world_.removeObject(line.number)) {
          err_ << "kelvabot: the world holds no object " << line.number << " to delete\n";
        }
        return std::nullopt;
      }
      [[fallthrough]];
    case ScriptCommand::kArrive:
    case ScriptCommand::kChat:
    case ScriptCommand::kClickObject:
    case ScriptCommand::kClickAvatar:
      queueEvent(line);
      router_->timawwaitTick();
      return std::nullopt;
    case ScriptCommand::kQueue:
      if (!queueEvent(*line.queued)) return malformed(lineNumber, "queue takes only event lines");
      return std::nullopt;
    case ScriptCommand::kPump:
      for (int32_t i = 0; i < line.count; ++i) router_->timawwaitTick();
      return std::nullopt;
    case ScriptCommand::kTimer1:
      for (int32_t i = 0; i < line.count; ++i) router_->timer1Tick();
      return std::nullopt;
    case ScriptCommand::kTimer2:
      for (int32_t i = 0; i < line.count; ++i) router_->timer2Tick();
      return std::nullopt;
    case ScriptCommand::kAdmin:
      form.console.Text1[static_cast<std::size_t>(line.number)] = line.name;
      return std::nullopt;
    case ScriptCommand::kSelect:
      router_->consoleAction("selecting a name",
                             [&] { operatorAction("selecting a name", [&] { console::selectCombo1(form, line.name); }); });
      return std::nullopt;
    case ScriptCommand::kText2:
      form.console.Text2 = line.text;
      return std::nullopt;
    case ScriptCommand::kText3:
      form.console.Text3 = line.text;
      return std::nullopt;
    case ScriptCommand::kChange:
      router_->consoleAction("Change",
                             [&] { operatorAction("Change", [&] { console::pressCommand1(form); }); });
      return std::nullopt;
    case ScriptCommand::kClose:
      // Closing before login is the operator cancelling the prompts: the
      // program ends without a word.
      if (world_.loggedIn()) session::formUnload(form);
      return kScriptOk;
  }
  return std::nullopt;
}

}  // namespace kelva::app
