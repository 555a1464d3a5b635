// The start-up dialogs with a refused login explained.
//
// The game shows a refused login as its bare code in a message box. The
// operator needs to know what to fix, so the code is shown with its meaning
// beside it ("1: the world knows no bot account ...") and the same words go
// to standard error, for an operator who watches the terminal.
#pragma once

#include <cstdint>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "state/console_model.h"
#include "data/numbers.h"

namespace kelva::app {

// The words for a refused login's code; empty when none are known.
using LoginCodeMeaning = std::function<std::string(int32_t)>;

class ExplainedDialogs : public Dialogs {
 public:
  // `inner` must outlive this object.
  ExplainedDialogs(Dialogs& inner, LoginCodeMeaning meaning) : inner_(inner), meaning_(std::move(meaning)) {}

  std::optional<std::string> inputBox(const std::string& prompt) override { return inner_.inputBox(prompt); }

  // The only message box of the start-up is the refused login's code.
  void messageBox(const std::string& text) override {
    const std::optional<int32_t> code = tryStrictLong(text);
    const std::string words = code && meaning_ ? meaning_(*code) : std::string();
    if (words.empty()) {
      inner_.messageBox(text);
      return;
    }
    // One insertion, so that a hosted world's log lines cannot split it.
    std::cerr << ("kelvabot: the login was refused with code " + text + ": " + words + "\n");
    inner_.messageBox(text + ": " + words);
  }

 private:
  Dialogs& inner_;
  LoginCodeMeaning meaning_;
};

}  // namespace kelva::app
