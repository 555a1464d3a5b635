#include "app/save_retry.h"

#include <algorithm>
#include <iostream>

#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::app {

bool SaveRetry::commit() {
  // Nothing pending (a reload wrote it, say) means everything is on disk.
  if (failing_ && waitTicks_ > 0 && form_.pendingSaves.any()) return false;
  const Status s = commitSaves(form_);
  if (s.isOk()) {
    if (failing_) stopFailing();
    return true;
  }
  if (!failing_) {
    startFailing(s.message());
    backoffTicks_ = kFirstBackoffTicks;
  } else {
    backoffTicks_ = std::min(backoffTicks_ * 2, kLongestBackoffTicks);
  }
  waitTicks_ = backoffTicks_;
  return false;
}

void SaveRetry::tick() {
  if (waitTicks_ > 0) --waitTicks_;
}

void SaveRetry::startFailing(const std::string& problem) {
  failing_ = true;
  const std::string notice = problem + "; replies wait until the data files can be written";
  std::cerr << "kelvabot: " << notice << "\n";
  form_.activityLog->record(notice);
  form_.console.setSaveTrouble(notice);
}

void SaveRetry::stopFailing() {
  failing_ = false;
  backoffTicks_ = 0;
  waitTicks_ = 0;
  const std::string notice = "saving works again; the replies that waited are sent";
  std::cerr << "kelvabot: " << notice << "\n";
  form_.activityLog->record(notice);
  form_.console.setSaveTrouble("");
}

}  // namespace kelva::app
