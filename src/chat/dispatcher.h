// The chat interpreter: administrator test, command table, dispatch.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::chat {

// Handles the chat event whose attributes the SDK has set.
void onChat(Form1& form);

}  // namespace kelva::chat
