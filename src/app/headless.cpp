#include "app/headless.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>

#include "app/event_router.h"
#include "app/explained_dialogs.h"
#include "app/realtime_loop.h"
#include "app/script_line.h"
#include "app/shutdown_signals.h"
#include "app/startup_exit.h"
#include "app/transcript_console.h"
#include "console/admin_names.h"
#include "console/console_actions.h"
#include "console/console_notices.h"
#include "session/sim_world.h"
#include "session/startup.h"
#include "state/form1.h"
#include "state/held_outputs.h"

namespace kelva::app {

namespace {

using namespace std::chrono_literals;

// The input, taken apart into lines as it arrives. A trailing CR is dropped;
// an unfinished last line counts once the input ends.
class InputLines {
 public:
  explicit InputLines(int fd) : fd_(fd) {}

  // Lines that come before the descriptor's; an unfinished last line counts.
  void preload(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t nl = text.find('\n', start);
      if (nl == std::string::npos) nl = text.size();
      push(text.substr(start, nl - start));
      start = nl + 1;
    }
  }

  // Reads what the descriptor has now; called when the loop says it is
  // readable, so the read does not block.
  void readMore() {
    if (ended_) return;
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) return;
      std::cerr << "kelvabot: cannot read the input: " << std::strerror(errno) << "\n";
    }
    if (n <= 0) {
      ended_ = true;
      if (!partial_.empty()) push(std::move(partial_));
      partial_.clear();
      return;
    }
    partial_.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t nl = partial_.find('\n'); nl != std::string::npos; nl = partial_.find('\n', start)) {
      push(partial_.substr(start, nl - start));
      start = nl + 1;
    }
    partial_.erase(0, start);
  }

  bool hasLine() const { return !lines_.empty(); }
  bool ended() const { return ended_; }
  // The next whole line and its number in the input.
  std::optional<std::pair<std::string, int>> take() {
    if (lines_.empty()) return std::nullopt;
    auto line = std::move(lines_.front());
    lines_.pop_front();
    return std::make_pair(std::move(line), ++taken_);
  }

 private:
  void push(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
  }

  int fd_;
  std::string partial_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  int taken_ = 0;
};

// The start-up prompts on the terminal: each prompt is printed on a line of
// its own and answered by the next input line. While a prompt waits, the
// loop goes on serving the timers, as a modal dialog box does. The end of
// the input or a shutdown signal cancels the prompt.
class TerminalDialogs : public Dialogs {
 public:
  TerminalDialogs(RealtimeLoop& loop, InputLines& input, const bool& stopRequested, const LineSink& out)
      : loop_(loop), input_(input), stopRequested_(stopRequested), out_(out) {}

  std::optional<std::string> inputBox(const std::string& prompt) override {
    out_(prompt);
    loop_.runUntil([&] { return input_.hasLine() || input_.ended() || stopRequested_; });
    if (stopRequested_) return std::nullopt;
    auto line = input_.take();
    if (!line) return std::nullopt;
    return line->first;
  }
  void messageBox(const std::string& text) override { out_("messagebox " + text); }

 private:
  RealtimeLoop& loop_;
  InputLines& input_;
  const bool& stopRequested_;
  const LineSink& out_;
};

// Queues the event of an avatar's line in the simulated world; false when the
// line is no event line.
bool queueWorldEvent(SimWorld& world, const ScriptLine& line) {
  switch (line.command) {
    case ScriptCommand::kArrive:
      world.queueAvatarArrival(line.name);
      return true;
    case ScriptCommand::kChat:
      world.queueChat(line.name, line.session, line.text);
      return true;
    case ScriptCommand::kClickObject:
      world.queueObjectClick(line.name, line.session, line.number);
      return true;
    case ScriptCommand::kClickAvatar:
      world.queueAvatarClick(line.name, line.session, line.clickedName, line.clickedSession);
      return true;
    case ScriptCommand::kWorldAdd:
      world.putObject(line.object);
      return true;
    case ScriptCommand::kWorldDelete:
      if (!world.removeObject(line.number)) {
        std::cerr << "kelvabot: the world holds no object " << line.number << " to delete\n";
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

int runHeadless(WorldSdk& world, SimWorld* simulated, FileSystem& files, const HeadlessSettings& settings,
                const LineSink& out) {
  RealtimeLoop loop;
  InputLines input(settings.inputFd);
  input.preload(settings.preloadedInput);
  std::unique_ptr<ShutdownSignals> signals;
  if (settings.handleSignals) signals = std::make_unique<ShutdownSignals>();
  bool stopRequested = false;

  TranscriptConsole console([&out](const std::string& line) { out(line); });
  // The bot's outputs of each round wait here until its saves are written.
  HeldOutputs held(world, console, console);
  auto form = std::make_unique<Form1>(held, files, held, held, settings.dataDir);
  EventRouter router(*form, &held);
  if (settings.onFormReady) settings.onFormReady(*form);

  // Timer1 and Timer2 run from the start, while the prompts wait too.
  const auto timer1 = loop.timers().add(500ms, [&] { router.timer1Tick(); });
  const auto timer2 = loop.timers().add(settings.timer2Interval, [&] { router.timer2Tick(); });
  const auto timawwait = loop.timers().add(250ms, [&] { router.timawwaitTick(); });
  loop.startTimer(timer1);
  loop.startTimer(timer2);
  loop.watch(settings.inputFd, [&] { input.readMore(); });
  if (signals && signals->fd() >= 0) {
    loop.watch(signals->fd(), [&] {
      if (signals->drain()) stopRequested = true;
    });
  }

  TerminalDialogs terminal(loop, input, stopRequested, out);
  ExplainedDialogs dialogs(terminal, settings.loginCodeMeaning);
  const session::StartupResult started = session::formLoad(*form, dialogs, settings.seed);
  if (const std::optional<int> status = startupExitStatus(started, std::cerr)) return *status;
  loop.startTimer(timawwait);
  // The administrators the operator named before the last stop, before the
  // first chat line is tested against them.
  if (Status admins = console::loadAdminNames(*form); !admins.isOk()) {
    std::cerr << "kelvabot: " << admins.message() << "; the administrator boxes start empty\n";
  }
  if (settings.onRunning) settings.onRunning(*form, router, loop);

  bool closed = false;
  // What a console line did not do as the operator may expect, in one line.
  auto notice = [&out](const std::optional<std::string>& text) {
    if (text) out("notice " + *text);
  };
  auto runLines = [&] {
    while (!closed) {
      const auto next = input.take();
      if (!next) break;
      const auto& [text, number] = *next;
      auto parsed = parseScriptLine(text);
      if (!parsed.isOk()) {
        std::cerr << "kelvabot: input line " << number << ": " << parsed.status().message() << "\n";
        continue;
      }
      if (!parsed.value()) continue;
      const ScriptLine& line = *parsed.value();
      switch (line.command) {
        case ScriptCommand::kAdmin:
          if (Status kept = console::setAdminName(*form, static_cast<std::size_t>(line.number), line.name);
              !kept.isOk()) {
            notice(kept.message());
          }
          break;
        case ScriptCommand::kSelect:
          notice(console::selectNotice(*form, line.name));
          router.consoleAction("selecting a name", [&] { console::selectCombo1(*form, line.name); });
          break;
        case ScriptCommand::kText2:
          form->console.Text2 = line.text;
          notice(console::boxNotice("Text2", line.text));
          break;
        case ScriptCommand::kText3:
          form->console.Text3 = line.text;
          notice(console::boxNotice("Text3", line.text));
          break;
        case ScriptCommand::kChange:
          notice(console::changeNotice(*form));
          router.consoleAction("Change", [&] { console::pressCommand1(*form); });
          break;
        case ScriptCommand::kClose:
          closed = true;
          break;
        default:
          // The avatars of the simulated world act when told to; the pump
          // delivers their events at its next tick.
          if (simulated && queueWorldEvent(*simulated, line)) break;
          std::cerr << "kelvabot: input line " << number
                    << ": not a console line here (admin, select, text2, text3, change, close)\n";
          break;
      }
    }
  };
  loop.watch(settings.inputFd, [&] {
    input.readMore();
    runLines();
    if (input.ended()) {
      loop.unwatch(settings.inputFd);
      if (!closed) std::cerr << "kelvabot: the input has ended; the bot runs on until it is stopped\n";
    }
  });
  // Lines that came with the prompts' answers.
  runLines();
  if (input.ended() && !closed) {
    loop.unwatch(settings.inputFd);
    std::cerr << "kelvabot: the input has ended; the bot runs on until it is stopped\n";
  }

  loop.runUntil([&] { return closed || stopRequested; });

  loop.timers().stop(timawwait);
  try {
    session::formUnload(*form);
  } catch (const std::exception& e) {
    std::cerr << "kelvabot: shutting down failed: " << e.what() << "\n";
  }
  return 0;
}

}  // namespace kelva::app
