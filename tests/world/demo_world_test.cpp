// The demo world and the demo data belong together: every object a player
// can click in demo/world.json plays a part in demo/objects.txt (or is a
// magic shroom), every registered number stands in the world, and the
// demo's world-script test puts up this very world.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "data/objects_file.h"
#include "world/core/world_file.h"

namespace kelva {
namespace {

std::string readDemo(const std::string& name) {
  std::ifstream in(std::string(KELVA_DEMO_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DemoWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    auto world = world::parseWorldFile(readDemo("world.json"), "world.json");
    ASSERT_TRUE(world.isOk()) << world.status().message();
    objects = world.value().objects;
    auto defs = parseObjectsFile(readDemo("objects.txt"), "objects.txt");
    ASSERT_TRUE(defs.isOk()) << defs.status().message();
    for (const ObjectDefinition& d : defs.value()) roles[d.objectNumber] = d.role;
  }
  std::vector<world::WorldObject> objects;
  std::map<int32_t, std::string> roles;
};

TEST_F(DemoWorld, EveryObjectDoesSomethingWhenClicked) {
  std::set<int32_t> inWorld;
  for (const auto& o : objects) {
    inWorld.insert(o.number);
    const bool shroom = o.model.rfind("shroom", 0) == 0;
    EXPECT_TRUE(roles.count(o.number) == 1 || shroom) << o.number << " " << o.description << " has no role";
    EXPECT_FALSE(roles.count(o.number) == 1 && shroom) << o.number << " is registered, so it is no shroom";
  }
  for (const auto& [number, role] : roles) {
    EXPECT_TRUE(inWorld.count(number)) << number << " (" << role << ") is not in the world";
  }
  std::set<std::string> kinds;
  for (const auto& [number, role] : roles) kinds.insert(role);
  EXPECT_EQ(kinds, (std::set<std::string>{"battle", "heal", "hppotion", "item", "armor", "weapon", "sellarmor",
                                          "sellweapon", "clan", "skill"}));
}

TEST_F(DemoWorld, TheFirstHourScriptPutsUpThisWorld) {
  std::ifstream script(std::string(KELVA_TESTS_DIR) + "/scripts/demo_first_hour/script.txt");
  std::set<std::string> added;
  for (std::string line; std::getline(script, line);) {
    if (line.rfind("world-add ", 0) == 0) added.insert(line.substr(10));
  }
  std::set<std::string> expected;
  for (const auto& o : objects) {
    expected.insert(std::to_string(o.number) + " " + o.model + " " + std::to_string(o.x) + " " + std::to_string(o.y) +
                    " " + std::to_string(o.z));
  }
  EXPECT_EQ(added, expected);
}

}  // namespace
}  // namespace kelva
