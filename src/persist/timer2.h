// Timer2, once a second: shroom regrowth every 300 ticks, backups every 600.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::persist {

void timer2Tick(Form1& form);

}  // namespace kelva::persist
