// The operator console's controls as plain state: the seven administrator
// boxes `Text1`, the player picker `Combo1`, the editor boxes `Text2` (exp)
// and `Text3` (gold), and the owner message list `List1`.
//
// The window, headless mode and script mode all show the same model through
// a ConsoleView. Changes the program makes are announced to the view; what
// the operator types is set directly (the operator's own view shows it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelva {

// What shows the console: the Qt window, the headless terminal, a transcript.
class ConsoleView {
 public:
  virtual ~ConsoleView() = default;
  virtual void combo1Added(const std::string& name) = 0;
  virtual void text2Written(const std::string& text) = 0;
  virtual void text3Written(const std::string& text) = 0;
  virtual void list1Added(const std::string& entry) = 0;
  // The operator's notice that the data files cannot be written (`problem`
  // says why; the bot's replies wait meanwhile), or, with an empty problem,
  // that they can again. Shown at once, never held with the game's outputs.
  virtual void saveTroubleChanged(const std::string& /*problem*/) {}
  // The operator renamed or removed characters of a running bot: the picker
  // now holds `names`, and its selection is Combo1Text.
  virtual void combo1Replaced(const std::vector<std::string>& /*names*/) {}
  // An administrator box was written from elsewhere than the box itself
  // (the console page); a view that shows the boxes shows the new name.
  virtual void text1Written(std::size_t /*index*/, const std::string& /*name*/) {}
};

// The notification sound played for an owner message.
class Sound {
 public:
  virtual ~Sound() = default;
  // Rewinds the sound to its beginning and plays it ("Prev", then "Play").
  virtual void restart() = 0;
};

// The start-up prompts and the message box of a refused login.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal input box showing only `prompt`; nullopt when cancelled.
  virtual std::optional<std::string> inputBox(const std::string& prompt) = 0;
  // A message box with `text` and a single OK button; returns when closed.
  virtual void messageBox(const std::string& text) = 0;
};

class ConsoleModel {
 public:
  explicit ConsoleModel(ConsoleView& view) : view_(&view) {}

  std::array<std::string, 7> Text1;  // administrator names
  // False when the administrators file was there at start but could not be
  // read: the boxes are then never saved over it, so no name in it is lost.
  bool Text1Savable = true;
  std::vector<std::string> Combo1;   // the names in the picker, in order
  std::string Combo1Text = "Select Name";
  std::optional<std::size_t> Combo1Selected;
  std::string Text2;
  std::string Text3;
  // The record's exp and gold when its name was last picked, so the operator
  // can be told when "Change" would write back values that have gone stale.
  std::optional<std::array<int32_t, 2>> pickedValues;
  std::vector<std::string> List1;
  // Empty while saves work; otherwise why the data files cannot be written.
  std::string SaveTrouble;

  // The program adds a name to the picker.
  void addCombo1(const std::string& name) {
    Combo1.push_back(name);
    view_->combo1Added(name);
  }
  // The operator's roster changes: the picker's names all at once; the
  // picked name keeps its place in the list if it is still there.
  void replaceCombo1(std::vector<std::string> names) {
    Combo1 = std::move(names);
    Combo1Selected.reset();
    for (std::size_t i = 0; i < Combo1.size() && !Combo1Selected; ++i)
      if (Combo1[i] == Combo1Text) Combo1Selected = i;
    view_->combo1Replaced(Combo1);
  }
  // An administrator box takes `name`.
  void writeText1(std::size_t index, const std::string& name) {
    Text1[index] = name;
    view_->text1Written(index, name);
  }
  // The program writes the editor boxes.
  void writeText2(const std::string& text) {
    Text2 = text;
    view_->text2Written(text);
  }
  void writeText3(const std::string& text) {
    Text3 = text;
    view_->text3Written(text);
  }
  // An owner message is appended.
  void addList1(const std::string& entry) {
    List1.push_back(entry);
    view_->list1Added(entry);
  }
  // Saving fails (`problem`) or, with an empty problem, works again.
  void setSaveTrouble(const std::string& problem) {
    SaveTrouble = problem;
    view_->saveTroubleChanged(problem);
  }

 private:
  ConsoleView* view_;
};

}  // namespace kelva
