// The object-click event: object numbers for watchers, then the clicked
// object's role (shops, clan halls, skill teachers, monsters) or a shroom.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::objects {

void objectClick(Form1& form);

}  // namespace kelva::objects
