// Every attribute of the world SDK by its name: the one list that copies the
// attributes between two SDKs and carries them over the bot port.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "state/world_sdk.h"

namespace kelva {

// Where an attribute lives on the SDK object; the kind of member also gives
// its type (long, integer, text, boolean).
using SdkMember = std::variant<int32_t WorldSdk::*, int16_t WorldSdk::*, std::string WorldSdk::*, bool WorldSdk::*>;

struct SdkAttribute {
  std::string_view name;
  SdkMember member;
};

// In the order WorldSdk declares them.
const std::array<SdkAttribute, 26>& sdkAttributes();
// nullptr for a name that is no attribute.
const SdkAttribute* findSdkAttribute(std::string_view name);
// Sets every attribute of `to` to its value on `from`.
void copySdkAttributes(const WorldSdk& from, WorldSdk& to);

}  // namespace kelva
