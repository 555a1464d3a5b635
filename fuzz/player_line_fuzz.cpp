// The world server's reading of a player's line, on any bytes: every line is
// chat, an action, or a refusal that says why; chat is passed on exactly as
// typed.
#include "fuzz/fuzz_input.h"
#include "world/core/player_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const world::PlayerAction a = world::parsePlayerLine(line);
  switch (a.kind) {
    case world::PlayerActionKind::kNothing:
      if (line.find_first_not_of(" \t") != std::string_view::npos) fuzz::broken("a line with text read as nothing");
      break;
    case world::PlayerActionKind::kChat:
      if (a.text != line) fuzz::broken("chat not passed on as typed");
      break;
    case world::PlayerActionKind::kMisused:
    case world::PlayerActionKind::kUnknown:
      if (a.text.empty()) fuzz::broken("a refusal without a reason");
      [[fallthrough]];
    default:
      if (line.empty() || line[0] != '.') fuzz::broken("an action that does not start with a dot");
  }
  return 0;
}
