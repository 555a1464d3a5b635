// The operator's console as a Qt window: the seven administrator boxes, the
// player picker with the exp and gold editor and its "Change" button, and the
// list of owner messages. It is a thin view over Form1's ConsoleModel: what
// the operator does is written into the model or handed to the console
// actions, and what the program writes into the model is shown here.
//
// The window is also the notification sound (recv.wav through Qt Multimedia),
// the start-up prompts and the message box of a refused login, and it carries
// the three timers, all on the one GUI thread.
#pragma once

#include <QWidget>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "state/console_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSoundEffect;
class QTimer;

namespace kelva {
class Form1;
}
namespace kelva::app {
class EventRouter;
}

namespace kelva::console {

// The window's client area and its controls' places, in pixels: the design's
// twips at 15 twips to the pixel.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 8250 / kTwipsPerPixel;
inline constexpr int kClientHeight = 7110 / kTwipsPerPixel;

class ConsoleWindow : public QWidget, public ConsoleView, public Sound, public Dialogs {
 public:
  // `dataDir` is the folder that holds recv.wav. Timer1 and Timer2 start
  // ticking now, as they do from the window's creation; they reach the game
  // once a form is attached.
  explicit ConsoleWindow(const std::string& dataDir, QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  // Connects the controls to `form` and the timers to `router`, which must
  // outlive the window's use of them. The form's console must show through this window.
  void attach(Form1& form, app::EventRouter& router);
  // Starts the 250 ms event pump; start-up calls it once the bot is logged in.
  void startTimawwait();

  // ConsoleView: what the program writes into the console.
  void combo1Added(const std::string& name) override;
  void text2Written(const std::string& text) override;
  void text3Written(const std::string& text) override;
  void list1Added(const std::string& entry) override;
  // The roster was edited (from the console page): the picker takes the new
  // names and keeps the picked one when it is still there.
  void combo1Replaced(const std::vector<std::string>& names) override;
  void text1Written(std::size_t index, const std::string& name) override;

  // Sound: rewinds recv.wav and plays it; a missing or unplayable file is
  // silent and changes nothing else.
  void restart() override;

  // Dialogs: the modal prompts of start-up and the login message box.
  std::optional<std::string> inputBox(const std::string& prompt) override;
  void messageBox(const std::string& text) override;

  // The operator stops the program from outside (SIGINT, SIGTERM): during
  // start-up the open prompt is cancelled, and so is every later one; once
  // logged in the window closes as if the operator closed it.
  void requestStop();

  // Whether the shutdown sequence has run: closing the window runs it once,
  // and only when the bot is logged in.
  bool shutDown() const { return shutDown_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Form1* form_ = nullptr;
  app::EventRouter* router_ = nullptr;
  bool loggedIn_ = false;
  bool shutDown_ = false;
  bool stopRequested_ = false;

  std::array<QLineEdit*, 7> text1_{};
  // Why the administrator names are not being kept, as last told; "" while they are.
  std::string adminNamesProblem_;
  QComboBox* combo1_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QPushButton* command1_ = nullptr;
  QListWidget* list1_ = nullptr;

  QSoundEffect* mm1_ = nullptr;
  bool soundPending_ = false;  // asked to play while the file was still loading
  QTimer* timer1_ = nullptr;
  QTimer* timer2_ = nullptr;
  QTimer* timawwait_ = nullptr;
};

}  // namespace kelva::console
