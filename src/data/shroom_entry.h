// One slot of the shroom cache: a magic shroom object in the nine sectors
// around the bot, as the world last reported it. Form1 holds the cache; the
// session's object-cache procedures fill it from the start-up query and keep
// it up to date from the world's object-add and object-delete events.
#pragma once

#include "data/world_object.h"

namespace kelva {

using ShroomEntry = WorldObject;

inline constexpr int kShroomCacheSize = 100000;
// `lastShroomIndex` is a 16-bit integer, so at most this many shrooms are cached.
inline constexpr int kShroomCacheUsable = 32768;

}  // namespace kelva
