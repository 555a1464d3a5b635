#include "app/form1.h"

#include <exception>
#include <iostream>

#include "chat/dispatcher.h"
#include "combat/battle_table.h"
#include "data/timer2.h"
#include "objects/object_click.h"
#include "session/arrival.h"
#include "session/object_cache.h"

namespace kelva {

namespace {

// The boundary of every event and timer handler: whatever the game's own
// containment did not catch is logged, and the bot goes on.
template <typename F>
void guarded(const char* handler, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    std::cerr << "kelvabot: " << handler << " failed: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "kelvabot: " << handler << " failed\n";
  }
}

}  // namespace

Form1::Form1(WorldSdk& sdkIn, FileSystem& filesIn, ConsoleView& view, Sound& sound, std::string dataDirIn)
    : sdk(sdkIn), files(filesIn), MM1(sound), dataDir(std::move(dataDirIn)), console(view) {
  sdk.setEventHandler(this);
}

void Form1::timawwaitTick() {
  if (!timawwaitEnabled) return;
  guarded("timawwait", [&] { sdk.Wait(0); });
}

void Form1::timer1Tick() {
  guarded("Timer1", [&] { combat::battleTick(*this); });
}

void Form1::timer2Tick() {
  guarded("Timer2", [&] { data::timer2Tick(*this); });
}

void Form1::onAvatarAdd() {
  guarded("avatar arrival", [&] { session::avatarArrival(*this); });
}
void Form1::onChat() {
  guarded("chat", [&] { chat::onChat(*this); });
}
void Form1::onAvatarClick() {
  guarded("avatar click", [&] { combat::avatarClick(*this); });
}
void Form1::onObjectClick() {
  guarded("object click", [&] { objects::objectClick(*this); });
}
void Form1::onCellBegin() {
  guarded("cell begin", [&] { session::cellBegin(*this); });
}
void Form1::onCellObject() {
  guarded("cell object", [&] { session::cellObject(*this); });
}
void Form1::onObjectAdd() {
  guarded("object add", [&] { session::objectAdd(*this); });
}
void Form1::onObjectDelete() {
  guarded("object delete", [&] { session::objectDelete(*this); });
}
void Form1::onQueryComplete() {
  guarded("query complete", [&] { session::queryComplete(*this); });
}

}  // namespace kelva
