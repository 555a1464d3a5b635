// The console, the sound and the start-up dialogs as transcript lines: script
// mode and headless mode show the console this way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "session/sim_world.h"
#include "state/console_model.h"

namespace kelva::app {

// Each change the program makes to the console, and each sound, is one
// transcript line. As script mode's dialogs it answers the start-up prompts
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

}  // namespace kelva::app
