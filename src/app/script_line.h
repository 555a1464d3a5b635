// A line of a world script, taken apart: script mode runs these lines, and
// headless mode reads the operator's console lines and the simulated
// avatars' actions in the same language. docs/world_scripts.md describes it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/result.h"
#include "session/sim_world.h"

namespace kelva::app {

enum class ScriptCommand {
  kLogin,
  kWorldLoginResult,
  kWorldQueryRounds,
  kWorldAdd,
  kWorldDelete,
  kArrive,
  kChat,
  kClickObject,
  kClickAvatar,
  kQueue,
  kPump,
  kTimer1,
  kTimer2,
  kAdmin,
  kSelect,
  kText2,
  kText3,
  kChange,
  kClose
};

// One script line, taken apart. Only the fields of its command are set.
struct ScriptLine {
  ScriptCommand command = ScriptCommand::kPump;
  std::vector<std::string> answers;  // login: the seven prompt answers, as typed
  std::string name;                  // avatar name; admin, select: the name typed
  std::string text;                  // chat: the line; text2, text3: what is typed
  std::string clickedName;
  int32_t session = 0;
  int32_t clickedSession = 0;
  int32_t number = 0;  // object number; world-login-result: the code; admin: the box
  int32_t count = 1;   // pump, timer1, timer2: ticks; world-query-rounds: rounds
  WorldObject object;    // world-add
  std::shared_ptr<const ScriptLine> queued;  // queue: the event line

  // Whether the line can be the event of `queue` (world-add and world-delete
  // only once the bot is logged in).
  bool isEventLine(bool loggedIn) const;
};

// Takes one line apart (without its line end). nullopt for a line to skip (a
// blank line or a comment); an error Status says what is wrong with it.
Result<std::optional<ScriptLine>> parseScriptLine(std::string_view line);

}  // namespace kelva::app
