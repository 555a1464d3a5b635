// Avatar arrival: a new character for every avatar seen for the first time.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::session {

void avatarArrival(Form1& form);

}  // namespace kelva::session
