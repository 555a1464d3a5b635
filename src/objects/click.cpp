#include "objects/click.h"

#include "state/form1.h"

namespace kelva::objects {

void answer(Form1& form, const ObjectClick& click, const std::string& text) { form.sdk.Whisper(click.session, text); }

}  // namespace kelva::objects
