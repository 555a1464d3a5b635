// The event router: where the world's events and the three timers meet the
// game's procedures.
//
// It is the world SDK's event handler for one Form1 and the target of its
// timers (timawwait every 250 ms once logged in, Timer1 the 500 ms battle
// tick, Timer2 every second), and the only code that knows every subsystem:
// arrivals and the object cache (session), chat, avatar clicks and the battle
// tick (combat), object clicks (objects), regrowth and backups (persist).
// Each handler is a boundary: a failure that escapes the game's own
// containment is logged to stderr there and the bot goes on.
#pragma once

#include "state/world_sdk.h"

namespace kelva {
class Form1;
}

namespace kelva::app {

class EventRouter : public WorldEvents {
 public:
  // Becomes the event handler of `form`'s world SDK. `form` must outlive the
  // router; on destruction the router stops receiving events.
  explicit EventRouter(Form1& form);
  ~EventRouter() override;
  EventRouter(const EventRouter&) = delete;
  EventRouter& operator=(const EventRouter&) = delete;

  // Timer handlers.
  void timawwaitTick();
  void timer1Tick();
  void timer2Tick();

  // Event handlers (WorldEvents).
  void onAvatarAdd() override;
  void onChat() override;
  void onAvatarClick() override;
  void onObjectClick() override;
  void onCellBegin() override;
  void onCellObject() override;
  void onObjectAdd() override;
  void onObjectDelete() override;
  void onQueryComplete() override;

 private:
  Form1& form_;
};

}  // namespace kelva::app
