#include "net/login_codes.h"

#include "net/net_world_sdk.h"

namespace kelva::net {

std::string loginCodeMeaning(int32_t code) {
  switch (code) {
    case 1:
      return "the world knows no bot account with this citizen number and password";
    case 2:
      return "the world server hosts another world than the one named";
    case 3:
      return "the bot's name is not allowed in the world";
    case 4:
      return "this connection is already logged in";
    case NetWorldSdk::kUnreachable:
      return "the world server cannot be reached";
    case NetWorldSdk::kNoAnswer:
      return "the world server did not answer the login in time";
    default:
      return "the world refused the login for a reason it did not name";
  }
}

}  // namespace kelva::net
