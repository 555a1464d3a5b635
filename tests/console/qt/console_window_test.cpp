#include "console/qt/console_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/event_router.h"
#include "state/form1.h"
#include "support/fakes.h"

namespace kelva::testing {
namespace {

using console::ConsoleWindow;
using Lines = std::vector<std::string>;

// The window on a fake world, with files in memory.
class ConsoleWindowTest : public ::testing::Test {
 protected:
  explicit ConsoleWindowTest(const std::string& soundDir = "/nonexistent")
      : window(soundDir),
        form(std::make_unique<Form1>(world, files, window, window, "/data")),
        router(std::make_unique<app::EventRouter>(*form)) {
    window.attach(*form, *router);
  }

  template <typename W>
  W* control(const char* name) {
    W* w = window.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  PlayerRecord& givenPlayer(const std::string& name, int32_t exp, int32_t gold) {
    PlayerRecord& r = form->roster[static_cast<std::size_t>(form->playerCount++)];
    setStartingValues(r, name);
    r.exp = exp;
    r.gold = gold;
    form->console.addCombo1(name);
    return r;
  }

  // Answers the modal dialog that `open` shows, with `answer` run on it.
  template <typename Dialog>
  void whenShown(const std::function<void(Dialog*)>& answer) {
    QTimer::singleShot(0, [answer] {
      auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      answer(dialog);
    });
  }

  FakeWorld world;
  MemoryFileSystem files;
  ConsoleWindow window;
  std::unique_ptr<Form1> form;
  std::unique_ptr<app::EventRouter> router;
};

TEST_F(ConsoleWindowTest, ControlsStandWhereTheConsoleHasThemWithTheirCaptions) {
  EXPECT_EQ(window.windowTitle(), "Form1");
  EXPECT_EQ(window.size(), QSize(550, 474));
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(control<QLineEdit>(QString("Text1(%1)").arg(i).toUtf8().constData())->geometry(),
              QRect(0, 24 * i, 185, 19)) << i;
  }
  const struct {
    const char* name;
    QRect geometry;
  } kPlaces[] = {{"Combo1", {192, 0, 121, 21}},  {"Label1", {192, 24, 121, 17}}, {"Label2", {192, 48, 121, 17}},
                 {"Text2", {312, 24, 233, 19}},  {"Text3", {312, 48, 233, 19}},  {"Command1", {280, 80, 129, 25}},
                 {"List1", {8, 176, 529, 251}}};
  for (const auto& place : kPlaces) EXPECT_EQ(control<QWidget>(place.name)->geometry(), place.geometry) << place.name;
  EXPECT_EQ(control<QComboBox>("Combo1")->placeholderText(), "Select Name");
  EXPECT_EQ(control<QComboBox>("Combo1")->currentIndex(), -1);
  EXPECT_EQ(control<QLabel>("Label1")->text(), "Exp");
  EXPECT_EQ(control<QLabel>("Label2")->text(), "GP");
  EXPECT_EQ(control<QPushButton>("Command1")->text(), "Change");
}

TEST_F(ConsoleWindowTest, TimersTickFromCreationAndThePumpFromLogin) {
  for (const auto& [name, interval] : {std::pair{"Timer1", 500}, std::pair{"Timer2", 1000}}) {
    EXPECT_TRUE(control<QTimer>(name)->isActive()) << name;
    EXPECT_EQ(control<QTimer>(name)->interval(), interval) << name;
  }
  auto* pump = control<QTimer>("timawwait");
  EXPECT_FALSE(pump->isActive());

  // Timer2's ticks reach the game's counters.
  const int16_t before = form->regrowTicks;
  QTest::qWait(1100);
  EXPECT_GT(form->regrowTicks, before);

  window.startTimawwait();
  EXPECT_TRUE(pump->isActive());
  EXPECT_EQ(pump->interval(), 250);
  // The pump delivers the world's events through Wait.
  form->timawwaitEnabled = true;
  world.queueChat("Nobody", 4, "no command");
  QTest::qWait(400);
  EXPECT_TRUE(world.pending.empty());
}

// What Change does with the boxes is the console's (ConsoleActions and the
// console_* transcripts); here the window's controls reach it.
TEST_F(ConsoleWindowTest, OperatorPicksAPlayerAndChangesExpAndGold) {
  givenPlayer("Bob", 250, 40);
  givenPlayer("Ann", 7, 3);
  auto* combo = control<QComboBox>("Combo1");
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), "Bob");
  EXPECT_EQ(combo->itemText(1), "Ann");

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  // Listing names picks none: Change before a pick does nothing.
  QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
  EXPECT_TRUE(world.calls.empty());

  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);  // picks the first entry, as a click would
  EXPECT_EQ(form->console.Combo1Text, "Bob");
  auto* text2 = control<QLineEdit>("Text2");
  auto* text3 = control<QLineEdit>("Text3");
  EXPECT_EQ(text2->text(), "250");
  EXPECT_EQ(text3->text(), "40");

  text2->selectAll();
  QTest::keyClicks(text2, "12.5");
  EXPECT_EQ(form->console.Text2, "12.5");
  QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
  EXPECT_EQ(world.calls, (Lines{"say A special gift of -237.5exp and 0gp was given to Bob."}));
}

TEST_F(ConsoleWindowTest, AdministratorBoxesAndOwnerMessagesGoThroughTheModel) {
  auto* box = control<QLineEdit>("Text1(3)");
  QTest::keyClicks(box, "Boss");
  EXPECT_EQ(form->console.Text1[3], "Boss");
  // Kept in the data folder for the next start.
  EXPECT_EQ(files.files["/data/administrators.txt"], "\n\n\nBoss\n\n\n\n");
  box->clear();
  EXPECT_EQ(form->console.Text1[3], "");
  EXPECT_EQ(files.files["/data/administrators.txt"], "\n\n\n\n\n\n\n");

  form->console.addList1("Bob:     Hello there");
  form->console.addList1("Bob:     ");
  auto* list = control<QListWidget>("List1");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "Bob:     Hello there");
  EXPECT_EQ(list->item(1)->text(), "Bob:     ");
  // The message sound's file is missing here: it plays nothing and changes nothing.
  window.restart();
  QTest::qWait(50);
  EXPECT_FALSE(control<QSoundEffect>("MM1")->isPlaying());
  EXPECT_TRUE(world.calls.empty());
}

TEST_F(ConsoleWindowTest, DialogsShowOnlyTheirTextAndCancelGivesNothing) {
  whenShown<QInputDialog>([](QInputDialog* d) {
    EXPECT_EQ(d->labelText(), "CitizenNumber?");
    EXPECT_EQ(d->windowTitle(), "");
    EXPECT_EQ(d->textValue(), "");
    d->setTextValue("1234");
    d->accept();
  });
  EXPECT_EQ(window.inputBox("CitizenNumber?"), std::optional<std::string>("1234"));
  whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
  EXPECT_EQ(window.inputBox("PPW?"), std::nullopt);

  // A refused login's box: the code, no title, only OK.
  bool shown = false;
  whenShown<QMessageBox>([&shown](QMessageBox* box) {
    shown = true;
    EXPECT_EQ(box->text(), "463");
    EXPECT_EQ(box->windowTitle(), "");
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    box->button(QMessageBox::Ok)->click();
  });
  window.messageBox("463");
  EXPECT_TRUE(shown);
}

TEST_F(ConsoleWindowTest, ClosingSaysNothingBeforeLoginAndRunsTheCountdownOnceAfter) {
  window.show();
  window.close();
  EXPECT_TRUE(world.calls.empty());

  window.startTimawwait();
  form->timawwaitEnabled = true;
  window.show();
  world.queueChat("Nobody", 4, "hello");  // still delivered by the countdown's waits
  window.close();
  EXPECT_EQ(world.calls, (Lines{"say Bot is being shut down in Three...", "say Two...", "say One...", "destroy",
                                "term"}));
  EXPECT_TRUE(world.pending.empty());
  EXPECT_FALSE(control<QTimer>("timawwait")->isActive());
  EXPECT_FALSE(form->timawwaitEnabled);
  window.show();
  window.close();
  EXPECT_EQ(world.calls.size(), 5u);
}

TEST_F(ConsoleWindowTest, StopFromOutsideCancelsThePromptsThenClosesAfterLogin) {
  QTimer::singleShot(0, [this] { window.requestStop(); });
  EXPECT_EQ(window.inputBox("CitizenNumber?"), std::nullopt);
  EXPECT_EQ(window.inputBox("PPW?"), std::nullopt);  // no dialog is shown any more
  EXPECT_TRUE(world.calls.empty());

  window.startTimawwait();
  window.show();
  window.requestStop();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(world.calls.size(), 5u);
  EXPECT_EQ(world.calls.front(), "say Bot is being shut down in Three...");
}

class ConsoleWindowWithSound : public ConsoleWindowTest {
 protected:
  ConsoleWindowWithSound() : ConsoleWindowTest(KELVA_DEMO_DIR) {}
};

TEST_F(ConsoleWindowWithSound, ShippedSoundLoads) {
  auto* sound = control<QSoundEffect>("MM1");
  EXPECT_TRUE(sound->source().toLocalFile().endsWith("/recv.wav"));
  // Decoding runs on its own; the file must come out ready to play.
  for (int i = 0; i < 100 && sound->status() == QSoundEffect::Loading; ++i) QTest::qWait(20);
  EXPECT_EQ(sound->status(), QSoundEffect::Ready);
  window.restart();  // with or without an audio device, nothing else changes
  EXPECT_TRUE(world.calls.empty());
}

// Draws the console as an operator sees it in play and saves the picture
// (KELVA_SCREENSHOT names another file, e.g. docs/console.png).
TEST_F(ConsoleWindowTest, Screenshot) {
  form->console.Text1[0] = "Boss";
  control<QLineEdit>("Text1(0)")->setText("Boss");
  control<QLineEdit>("Text1(1)")->setText("Kelva");
  givenPlayer("Ann", 120, 35);
  givenPlayer("Bob", 250, 40);
  givenPlayer("Cyd", 75, 5);
  auto* combo = control<QComboBox>("Combo1");
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  form->console.addList1("Boss:     The troll at the bridge needs more gold.");
  form->console.addList1("Kelva:     Back tomorrow, keep the shrooms growing!");
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  const char* path = std::getenv("KELVA_SCREENSHOT");
  const QString file = path ? QString(path) : QString(KELVA_SCREENSHOT_PATH);
  const QPixmap shot = window.grab();
  EXPECT_EQ(shot.size(), QSize(550, 474));
  EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();
}

}  // namespace
}  // namespace kelva::testing
