// Changing a shroom's world object: the one way the bot alters a shroom, used
// by the regrowth of Timer2 and by a player picking a shroom.
#pragma once

#include <string>

#include "data/shroom_entry.h"
#include "state/world_sdk.h"

namespace kelva {

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

}  // namespace kelva
