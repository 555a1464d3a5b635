#include "app/event_router.h"

#include <exception>
#include <iostream>

#include "chat/dispatcher.h"
#include "combat/battle_table.h"
#include "objects/object_click.h"
#include "persist/timer2.h"
#include "session/arrival.h"
#include "session/object_cache.h"
#include "state/form1.h"

namespace kelva::app {

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

EventRouter::EventRouter(Form1& form) : form_(form) { form_.sdk.setEventHandler(this); }

EventRouter::~EventRouter() {
  if (form_.sdk.eventHandler() == this) form_.sdk.setEventHandler(nullptr);
}

void EventRouter::timawwaitTick() {
  if (!form_.timawwaitEnabled) return;
  guarded("timawwait", [&] { form_.sdk.Wait(0); });
}

void EventRouter::timer1Tick() {
  guarded("Timer1", [&] { combat::battleTick(form_); });
}

void EventRouter::timer2Tick() {
  guarded("Timer2", [&] { persist::timer2Tick(form_); });
}

void EventRouter::onAvatarAdd() {
  guarded("avatar arrival", [&] { session::avatarArrival(form_); });
}
void EventRouter::onChat() {
  guarded("chat", [&] { chat::onChat(form_); });
}
void EventRouter::onAvatarClick() {
  guarded("avatar click", [&] { combat::avatarClick(form_); });
}
void EventRouter::onObjectClick() {
  guarded("object click", [&] { objects::objectClick(form_); });
}
void EventRouter::onCellBegin() {
  guarded("cell begin", [&] { session::cellBegin(form_); });
}
void EventRouter::onCellObject() {
  guarded("cell object", [&] { session::cellObject(form_); });
}
void EventRouter::onObjectAdd() {
  guarded("object add", [&] { session::objectAdd(form_); });
}
void EventRouter::onObjectDelete() {
  guarded("object delete", [&] { session::objectDelete(form_); });
}
void EventRouter::onQueryComplete() {
  guarded("query complete", [&] { session::queryComplete(form_); });
}

}  // namespace kelva::app
