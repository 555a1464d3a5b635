// The handlers that keep the shroom cache and the cell sequence numbers.
#pragma once

namespace kelva {
class Form1;
}

namespace kelva::session {

void queryComplete(Form1& form);
void cellBegin(Form1& form);
void cellObject(Form1& form);
void objectAdd(Form1& form);
void objectDelete(Form1& form);

}  // namespace kelva::session
