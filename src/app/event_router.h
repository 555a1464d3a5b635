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
//
// Each handler is also a round of its own unless it runs inside one: one
// pump of the world with every event it delivers, one Timer1 or Timer2 tick,
// one console action. The saves a round asks for are written once at its
// end (group commit), and the bot's outputs of the round, held by
// HeldOutputs when the form is built on one, leave only after that.
//
// When those saves cannot be written the outputs stay held, and the rounds
// after add theirs behind them, until a retry (SaveRetry) succeeds: players
// are answered late and in order, never told of a change that is not on
// disk. What is held is bounded: past kHeldLimit outputs the router stops
// pumping the world (its events wait there) and stops the battle tick; the
// Timer2 tick then only retries the saves.
#pragma once

#include <cstddef>
#include <functional>

#include "app/save_retry.h"
#include "state/world_sdk.h"

namespace kelva {
class Form1;
class HeldOutputs;
}

namespace kelva::app {

class EventRouter : public WorldEvents {
 public:
  // Becomes the event handler of `form`'s world SDK. `form` must outlive the
  // router; on destruction the router stops receiving events.
  // With `held`, which must be `form`'s world SDK, console view and sound,
  // the outputs of each round are held until its saves are written.
  explicit EventRouter(Form1& form, HeldOutputs* held = nullptr);
  ~EventRouter() override;
  EventRouter(const EventRouter&) = delete;
  EventRouter& operator=(const EventRouter&) = delete;

  // Held outputs past which, while saving fails, no more events are taken.
  static constexpr std::size_t kHeldLimit = 10000;

  // Timer handlers.
  void timawwaitTick();
  void timer1Tick();
  void timer2Tick();

  // Runs an operator's console action ("Change", picking a name) as a round
  // of its own. `what` names it in the log if it fails.
  void consoleAction(const char* what, const std::function<void()>& action);

  // Saving has failed and not yet worked again.
  bool savesFailing() const { return saves_.failing(); }
  // For tests: a smaller bound on what is held.
  void setHeldLimit(std::size_t limit) { heldLimit_ = limit; }

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
  // Runs `f` under the failure boundary, as a round unless one is open.
  template <typename F>
  void round(const char* handler, F&& f);
  // The end of the outermost round: its saves, then, once they are on
  // disk, its outputs (and any held from before).
  void endRound();
  // Saving fails and as much is held as may be: take no more events.
  bool heldFull() const;

  Form1& form_;
  HeldOutputs* held_;
  SaveRetry saves_;
  std::size_t heldLimit_ = kHeldLimit;
};

}  // namespace kelva::app
