#include "app/transcript_console.h"

namespace kelva::app {

std::optional<std::string> TranscriptConsole::inputBox(const std::string&) {
  if (next_ >= answers_.size()) return std::nullopt;
  return answers_[next_++];
}

}  // namespace kelva::app
