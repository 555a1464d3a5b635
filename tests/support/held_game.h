// A game run as the bot runs it: the world's calls and the console's lines go
// through HeldOutputs, so that a round's replies leave only after its saves.
// Ann (Text1 box 0) is an administrator and the event pump runs.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/event_router.h"
#include "state/form1.h"
#include "state/held_outputs.h"
#include "support/fakes.h"

namespace kelva::testing {

struct HeldGame {
  FakeWorld world;
  MemoryFileSystem files;
  RecordingView view;
  HeldOutputs held{world, view, view};
  std::unique_ptr<Form1> form = std::make_unique<Form1>(held, files, held, held, "/data");
  std::unique_ptr<app::EventRouter> router = std::make_unique<app::EventRouter>(*form, &held);

  HeldGame() {
    form->timawwaitEnabled = true;
    form->console.Text1[0] = "Ann";
  }
  // An avatar that arrives at the next pump.
  void queueArrival(const std::string& name, int32_t session = 0) {
    world.queue([this, name, session] {
      world.AvatarName = name;
      world.AvatarSession = session;
      world.events()->onAvatarAdd();
    });
  }
  // The world calls made so far, and forgets them.
  std::vector<std::string> take() { return std::exchange(world.calls, {}); }
};

}  // namespace kelva::testing
