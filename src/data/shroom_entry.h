// The shroom cache: every magic shroom object in the nine sectors around the
// bot, learnt from the start-up query and kept up to date by the world's
// object-add and object-delete events.
#pragma once

#include <cstdint>
#include <string>

#include "session/world_sdk.h"

namespace kelva {

struct ShroomEntry {
  std::string model;
  std::string action;
  std::string description;
  int32_t number = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int32_t owner = 0;
  int16_t yaw = 0;

  bool operator==(const ShroomEntry&) const = default;
};

// Changes the world object of a cached shroom where it stands, to `model`
// with `action`: the Old attributes name it, the others keep its place, yaw,
// owner and description. The cache itself is not touched; it learns of the
// change from the world's delete and add events that follow.
inline void changeShroomObject(WorldSdk& sdk, const ShroomEntry& shroom, const std::string& model,
                               const std::string& action) {
  sdk.ObjectOldNumber = shroom.number;
  sdk.ObjectOldX = shroom.x;
  sdk.ObjectOldZ = shroom.z;
  sdk.ObjectX = shroom.x;
  sdk.ObjectY = shroom.y;
  sdk.ObjectZ = shroom.z;
  sdk.ObjectYaw = shroom.yaw;
  sdk.ObjectOwner = shroom.owner;
  sdk.ObjectModel = model;
  sdk.ObjectDescription = shroom.description;
  sdk.ObjectAction = action;
  sdk.ObjectChange();
}

inline constexpr int kShroomCacheSize = 100000;
// `lastShroomIndex` is a 16-bit integer, so at most this many shrooms are cached.
inline constexpr int kShroomCacheUsable = 32768;

}  // namespace kelva
