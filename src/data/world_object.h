// A world object as the world reports it: its number, what it looks like
// (model, description, action), where it stands, who owns it and the label
// players see. The world
// server keeps its objects in it, the simulated world too, and the bot's
// shroom cache holds the shrooms the world last reported.
#pragma once

#include <cstdint>
#include <string>

namespace kelva {

struct WorldObject {
  int32_t number = 0;
  std::string model;
  std::string description;
  std::string action;
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  int16_t yaw = 0;
  int32_t owner = 0;
  // The short name a world file may give it ("Potion shop"), shown over it in
  // the players' view; the world keeps it, the bot never sees it.
  std::string label;

  bool operator==(const WorldObject&) const = default;
};

}  // namespace kelva
