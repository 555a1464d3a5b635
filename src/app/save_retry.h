// Writing the rounds' saves on a disk that may fail.
//
// A round's outputs leave only once its saves are on disk. When the write
// fails (a full disk, a data folder made unwritable), the saves stay pending
// and the outputs stay held; the write is tried again after a back-off of
// one second, then two, four, and so on up to thirty, counted in Timer2
// ticks. The operator is told once when saving starts to fail (stderr, the
// activity log, the console's notice) and once when it works again, not at
// every retry.
#pragma once

#include <string>

namespace kelva {
class Form1;
}

namespace kelva::app {

class SaveRetry {
 public:
  // The back-off after the first failure and its ceiling, in Timer2 ticks.
  static constexpr int kFirstBackoffTicks = 1;
  static constexpr int kLongestBackoffTicks = 30;

  // `form` must outlive this object.
  explicit SaveRetry(Form1& form) : form_(form) {}

  // Writes what the rounds have saved; true when all of it is on disk.
  // While saving fails, the write is tried only once the back-off is over;
  // until then this answers false at once.
  bool commit();
  // One Timer2 tick: a second of the back-off has passed.
  void tick();
  // Saving has failed and not yet worked again.
  bool failing() const { return failing_; }

 private:
  void startFailing(const std::string& problem);
  void stopFailing();

  Form1& form_;
  bool failing_ = false;
  int backoffTicks_ = 0;  // the back-off now in force
  int waitTicks_ = 0;     // ticks left before the next try
};

}  // namespace kelva::app
