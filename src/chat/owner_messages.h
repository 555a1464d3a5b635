// Owner messages: "bmessage: " lines from administrators go to List1 with a sound.
#pragma once

#include "chat/chat_line.h"

namespace kelva {
class Form1;
}

namespace kelva::chat {

void cmdBmessage(Form1& form, const ChatLine& chat);

}  // namespace kelva::chat
