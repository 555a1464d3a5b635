// Owner messages: an administrator leaves a line for the person who runs the
// bot. It goes to the console's message list with the sender's name, and the
// notification sound is restarted so that the operator notices it. The
// sender hears nothing back.
#include "chat/owner_messages.h"

#include <string>

#include "state/form1.h"

namespace kelva::chat {

void cmdBmessage(Form1& form, const ChatLine& chat) {
  // The message is everything behind "bmessage: ", exactly as typed; it may
  // be empty.
  const std::string text = chat.line.size() > 10 ? chat.line.substr(10) : std::string();
  form.console.addList1(chat.speaker + ":     " + text);
  form.MM1.restart();
  form.activityLog->record("owner message from " + chat.speaker + ": " + text);
}

}  // namespace kelva::chat
