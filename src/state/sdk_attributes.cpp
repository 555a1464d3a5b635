#include "state/sdk_attributes.h"

namespace kelva {

const std::array<SdkAttribute, 26>& sdkAttributes() {
  using W = WorldSdk;
  static const std::array<SdkAttribute, 26> table = {{
      {"AvatarName", &W::AvatarName},
      {"AvatarSession", &W::AvatarSession},
      {"ChatSession", &W::ChatSession},
      {"ChatMessage", &W::ChatMessage},
      {"CellX", &W::CellX},
      {"CellZ", &W::CellZ},
      {"CellSequence", &W::CellSequence},
      {"ObjectNumber", &W::ObjectNumber},
      {"ObjectX", &W::ObjectX},
      {"ObjectY", &W::ObjectY},
      {"ObjectZ", &W::ObjectZ},
      {"ObjectYaw", &W::ObjectYaw},
      {"ObjectModel", &W::ObjectModel},
      {"ObjectDescription", &W::ObjectDescription},
      {"ObjectAction", &W::ObjectAction},
      {"ObjectOldNumber", &W::ObjectOldNumber},
      {"ObjectOldX", &W::ObjectOldX},
      {"ObjectOldZ", &W::ObjectOldZ},
      {"ObjectOwner", &W::ObjectOwner},
      {"QueryComplete", &W::QueryComplete},
      {"ClickedSession", &W::ClickedSession},
      {"ClickedName", &W::ClickedName},
      {"TeleportX", &W::TeleportX},
      {"TeleportY", &W::TeleportY},
      {"TeleportZ", &W::TeleportZ},
      {"TeleportWarp", &W::TeleportWarp},
  }};
  return table;
}

const SdkAttribute* findSdkAttribute(std::string_view name) {
  for (const SdkAttribute& attribute : sdkAttributes())
    if (attribute.name == name) return &attribute;
  return nullptr;
}

void copySdkAttributes(const WorldSdk& from, WorldSdk& to) {
  for (const SdkAttribute& attribute : sdkAttributes())
    std::visit([&](auto member) { to.*member = from.*member; }, attribute.member);
}

}  // namespace kelva
