#include "app/online_avatars.h"

#include <algorithm>

namespace kelva::app {

bool OnlineAvatars::isOnline(const std::string& name) const {
  return std::any_of(bySession_.begin(), bySession_.end(), [&](const auto& entry) { return entry.second == name; });
}

std::vector<OnlineAvatar> OnlineAvatars::list() const {
  std::vector<OnlineAvatar> avatars;
  avatars.reserve(bySession_.size());
  for (const auto& [session, name] : bySession_) avatars.push_back(OnlineAvatar{session, name});
  return avatars;
}

}  // namespace kelva::app
