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
#include "state/held_outputs.h"

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

EventRouter::EventRouter(Form1& form, HeldOutputs* held) : form_(form), held_(held), saves_(form) {
  form_.sdk.setEventHandler(this);
  // A pump in the middle of a round (the player-versus-player round's) sends
  // what is held first, and so writes what those messages report.
  if (held_) held_->setBeforeEarlySend([this] { return saves_.commit(); });
}

EventRouter::~EventRouter() {
  if (form_.sdk.eventHandler() == this) form_.sdk.setEventHandler(nullptr);
  if (held_) held_->setBeforeEarlySend(nullptr);
}

template <typename F>
void EventRouter::round(const char* handler, F&& f) {
  PendingSaves& pending = form_.pendingSaves;
  const bool outermost = pending.openRounds == 0;
  if (outermost && held_) held_->hold();
  ++pending.openRounds;
  guarded(handler, f);
  --pending.openRounds;
  if (outermost) endRound();
}

void EventRouter::endRound() {
  bool saved = false;
  guarded("saving", [&] { saved = saves_.commit(); });
  if (held_ && saved) guarded("sending", [&] { held_->release(); });
}

bool EventRouter::heldFull() const {
  return saves_.failing() && held_ && held_->heldCount() >= heldLimit_;
}

void EventRouter::consoleAction(const char* what, const std::function<void()>& action) {
  round(what, action);
}

void EventRouter::timawwaitTick() {
  if (!form_.timawwaitEnabled || heldFull()) return;
  round("timawwait", [&] { form_.sdk.Wait(0); });
}

void EventRouter::timer1Tick() {
  // A long outage pauses the battles rather than hold without end.
  if (heldFull()) return;
  round("Timer1", [&] { combat::battleTick(form_); });
}

void EventRouter::timer2Tick() {
  saves_.tick();
  if (heldFull()) {
    if (form_.pendingSaves.openRounds == 0) endRound();
    return;
  }
  round("Timer2", [&] { persist::timer2Tick(form_); });
}

void EventRouter::onAvatarAdd() {
  round("avatar arrival", [&] { session::avatarArrival(form_); });
}
void EventRouter::onChat() {
  round("chat", [&] { chat::onChat(form_); });
}
void EventRouter::onAvatarClick() {
  round("avatar click", [&] { combat::avatarClick(form_); });
}
void EventRouter::onObjectClick() {
  round("object click", [&] { objects::objectClick(form_); });
}
void EventRouter::onCellBegin() {
  round("cell begin", [&] { session::cellBegin(form_); });
}
void EventRouter::onCellObject() {
  round("cell object", [&] { session::cellObject(form_); });
}
void EventRouter::onObjectAdd() {
  round("object add", [&] { session::objectAdd(form_); });
}
void EventRouter::onObjectDelete() {
  round("object delete", [&] { session::objectDelete(form_); });
}
void EventRouter::onQueryComplete() {
  round("query complete", [&] { session::queryComplete(form_); });
}

}  // namespace kelva::app
