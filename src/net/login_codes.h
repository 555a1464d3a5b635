// What a refused login's code means, in words for the operator.
#pragma once

#include <cstdint>
#include <string>

namespace kelva::net {

// The meaning of StartBot's result `code` (not 0): the world server's codes
// and the network backend's own (unreachable, no answer).
std::string loginCodeMeaning(int32_t code);

}  // namespace kelva::net
