#include "app/startup_exit.h"

#include <ostream>

namespace kelva::app {

std::optional<int> startupExitStatus(const session::StartupResult& started, std::ostream& err) {
  switch (started.outcome) {
    case session::StartupOutcome::kRunning:
      return std::nullopt;
    case session::StartupOutcome::kCancelled:
      return 0;
    case session::StartupOutcome::kLoginRefused:
      return kExitLoginRefused;
    case session::StartupOutcome::kDataError:
      err << "kelvabot: " << started.message << '\n';
      return kExitDataError;
  }
  return std::nullopt;
}

}  // namespace kelva::app
