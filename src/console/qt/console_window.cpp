#include "console/qt/console_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <iostream>

#include "app/event_router.h"
#include "console/admin_names.h"
#include "console/console_actions.h"
#include "session/startup.h"
#include "state/form1.h"

namespace kelva::console {

namespace {

QString toQ(const std::string& s) { return QString::fromStdString(s); }
std::string fromQ(const QString& s) { return s.toStdString(); }

// An operator's action on the console. Nothing may escape into Qt's event
// loop: a failure is reported and the console goes on.
template <typename F>
void operatorAction(const char* what, F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    std::cerr << "kelvabot: " << what << " failed: " << e.what() << "\n";
  }
}

// Places a control at its design position, given in twips.
void place(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

}  // namespace

ConsoleWindow::ConsoleWindow(const std::string& dataDir, QWidget* parent) : QWidget(parent) {
  setWindowTitle("Form1");
  setFixedSize(kClientWidth, kClientHeight);

  for (std::size_t i = 0; i < text1_.size(); ++i) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QString("Text1(%1)").arg(i));
    place(box, 0, 360 * static_cast<int>(i), 2775, 285);
    text1_[i] = box;
  }

  // The picker is a drop-down list: the operator can only pick names the
  // program has listed; "Select Name" shows until the first pick.
  combo1_ = new QComboBox(this);
  combo1_->setObjectName("Combo1");
  combo1_->setPlaceholderText("Select Name");
  combo1_->setCurrentIndex(-1);
  place(combo1_, 2880, 0, 1815, 315);

  label1_ = new QLabel("Exp", this);
  label1_->setObjectName("Label1");
  place(label1_, 2880, 360, 1815, 255);
  label2_ = new QLabel("GP", this);
  label2_->setObjectName("Label2");
  place(label2_, 2880, 720, 1815, 255);

  text2_ = new QLineEdit(this);
  text2_->setObjectName("Text2");
  place(text2_, 4680, 360, 3495, 285);
  text3_ = new QLineEdit(this);
  text3_->setObjectName("Text3");
  place(text3_, 4680, 720, 3495, 285);

  command1_ = new QPushButton("Change", this);
  command1_->setObjectName("Command1");
  place(command1_, 4200, 1200, 1935, 375);

  list1_ = new QListWidget(this);
  list1_->setObjectName("List1");
  place(list1_, 120, 2640, 7935, 3765);

  // The sound is opened once and stays open; each owner message rewinds it.
  // A missing or undecodable file leaves the effect in its error state, and
  // the window plays nothing then.
  mm1_ = new QSoundEffect(this);
  mm1_->setObjectName("MM1");
  mm1_->setSource(QUrl::fromLocalFile(QDir(toQ(dataDir)).filePath("recv.wav")));
  connect(mm1_, &QSoundEffect::statusChanged, this, [this] {
    if (!soundPending_ || mm1_->status() == QSoundEffect::Loading) return;
    soundPending_ = false;
    if (mm1_->status() == QSoundEffect::Ready) mm1_->play();
  });

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(500);
  timer2_ = new QTimer(this);
  timer2_->setObjectName("Timer2");
  timer2_->setInterval(1000);
  timawwait_ = new QTimer(this);
  timawwait_->setObjectName("timawwait");
  timawwait_->setInterval(250);
  // Timer1 and Timer2 count from the window's creation, even while the
  // start-up prompts wait for the operator.
  timer1_->start();
  timer2_->start();
}

ConsoleWindow::~ConsoleWindow() = default;

void ConsoleWindow::attach(Form1& form, app::EventRouter& router) {
  form_ = &form;
  router_ = &router;
  ConsoleModel& model = form.console;

  // The administrators the operator named before the last stop.
  if (Status admins = loadAdminNames(form); !admins.isOk()) {
    std::cerr << "kelvabot: " << admins.message() << "; the administrator boxes start empty\n";
  }
  for (std::size_t i = 0; i < text1_.size(); ++i) {
    text1_[i]->setText(toQ(model.Text1[i]));
    // Each change is kept in the data folder at once; a failure is told
    // once, not at every key typed while it lasts.
    connect(text1_[i], &QLineEdit::textChanged, this, [this, i](const QString& text) {
      const Status kept = setAdminName(*form_, i, fromQ(text));
      const std::string problem = kept.isOk() ? "" : kept.message();
      if (!problem.empty() && problem != adminNamesProblem_) std::cerr << "kelvabot: " << problem << "\n";
      adminNamesProblem_ = problem;
    });
  }
  // What the operator types into the editor is the model's text as it stands.
  connect(text2_, &QLineEdit::textChanged, this, [this](const QString& text) { form_->console.Text2 = fromQ(text); });
  connect(text3_, &QLineEdit::textChanged, this, [this](const QString& text) { form_->console.Text3 = fromQ(text); });
  // activated fires for every pick by the operator, the same name again
  // included, and never for the program's own changes to the list.
  connect(combo1_, &QComboBox::activated, this,
          [this](int index) {
            router_->consoleAction("selecting a name",
                                   [&] { selectCombo1(*form_, fromQ(combo1_->itemText(index))); });
          });
  connect(command1_, &QPushButton::clicked, this,
          [this] { router_->consoleAction("Change", [&] { pressCommand1(*form_); }); });

  connect(timer1_, &QTimer::timeout, this, [this] { router_->timer1Tick(); });
  connect(timer2_, &QTimer::timeout, this, [this] { router_->timer2Tick(); });
  connect(timawwait_, &QTimer::timeout, this, [this] { router_->timawwaitTick(); });
}

void ConsoleWindow::startTimawwait() {
  loggedIn_ = true;
  timawwait_->start();
}

void ConsoleWindow::combo1Added(const std::string& name) { combo1_->addItem(toQ(name)); }

void ConsoleWindow::text2Written(const std::string& text) { text2_->setText(toQ(text)); }

void ConsoleWindow::text3Written(const std::string& text) { text3_->setText(toQ(text)); }

void ConsoleWindow::list1Added(const std::string& entry) { list1_->addItem(toQ(entry)); }

void ConsoleWindow::text1Written(std::size_t index, const std::string& name) {
  // The box's own typing comes back here with the text it already shows:
  // leave it be, so the cursor stays where the operator is typing.
  if (index < text1_.size() && fromQ(text1_[index]->text()) != name) text1_[index]->setText(toQ(name));
}

void ConsoleWindow::combo1Replaced(const std::vector<std::string>& names) {
  // The program's changes to the list never fire `activated`: nothing is picked here.
  combo1_->clear();
  for (const std::string& name : names) combo1_->addItem(toQ(name));
  const std::optional<std::size_t> picked = form_ ? form_->console.Combo1Selected : std::nullopt;
  combo1_->setCurrentIndex(picked ? static_cast<int>(*picked) : -1);
}

void ConsoleWindow::restart() {
  switch (mm1_->status()) {
    case QSoundEffect::Ready:
      mm1_->stop();
      mm1_->play();
      return;
    case QSoundEffect::Loading:
      // Still decoding: it plays from its beginning once ready.
      soundPending_ = true;
      return;
    default:
      // A missing or undecodable file stays silent.
      return;
  }
}

std::optional<std::string> ConsoleWindow::inputBox(const std::string& prompt) {
  if (stopRequested_) return std::nullopt;
  QInputDialog dialog(isVisible() ? this : nullptr);
  dialog.setWindowTitle(QString());
  dialog.setLabelText(toQ(prompt));
  dialog.setTextValue(QString());
  dialog.setInputMode(QInputDialog::TextInput);
  if (dialog.exec() != QDialog::Accepted || stopRequested_) return std::nullopt;
  return fromQ(dialog.textValue());
}

void ConsoleWindow::messageBox(const std::string& text) {
  if (stopRequested_) return;
  QMessageBox box(QMessageBox::NoIcon, QString(), toQ(text), QMessageBox::Ok, isVisible() ? this : nullptr);
  box.exec();
}

void ConsoleWindow::requestStop() {
  stopRequested_ = true;
  if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  if (loggedIn_) close();
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  if (form_ && loggedIn_ && !shutDown_) {
    shutDown_ = true;
    // The pump stops first; the countdown's own Waits still deliver events.
    timawwait_->stop();
    operatorAction("shutting down", [&] { session::formUnload(*form_); });
  }
  event->accept();
}

}  // namespace kelva::console
