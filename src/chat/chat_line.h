// One chat line as the dispatcher hands it to a command.
#pragma once

#include <string>

namespace kelva::chat {

struct ChatLine {
  std::string speaker;  // AvatarName of the chat event
  bool isAdmin = false;
  std::string line;   // ChatMessage as typed
  std::string upper;  // the line upper-cased (ASCII letters only)
};

}  // namespace kelva::chat
