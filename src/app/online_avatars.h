// The avatars in the world right now, as the bot heard them arrive and
// leave: what the operator's console lists and counts.
//
// It is kept beside the game, not in it: the game's rules never ask who is
// online (a character stays on the roster whether or not its avatar is
// here), so nothing the game does depends on this list.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kelva::app {

struct OnlineAvatar {
  int32_t session = 0;
  std::string name;  // as the world shows it: a guest's in double quotes
};

class OnlineAvatars {
 public:
  void arrived(const std::string& name, int32_t session) { bySession_[session] = name; }
  void left(int32_t session) { bySession_.erase(session); }
  // The bot logged in again: the world reports everyone present anew.
  void clear() { bySession_.clear(); }

  std::size_t count() const { return bySession_.size(); }
  bool isOnline(const std::string& name) const;
  // In the order they arrived in the world (sessions grow).
  std::vector<OnlineAvatar> list() const;

 private:
  std::map<int32_t, std::string> bySession_;
};

}  // namespace kelva::app
