#include "world/ports/web_origin.h"

#include <gtest/gtest.h>

namespace kelva::world {
namespace {

TEST(WebOrigin, OnlyTheWorldsOwnPageAndListedSitesMayPlay) {
  const std::vector<std::string> listed = {"https://play.example.org"};
  struct Case {
    const char* origin;
    const char* host;
    bool allowed;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"", "world.example:7780", true},  // no browser page: a tool
           {"http://world.example:7780", "world.example:7780", true},
           {"https://World.Example:7780", "world.example:7780", true},
           {"https://play.example.org", "world.example:7780", true},
           {"http://world.example", "world.example:7780", false},  // another port is another site
           {"http://world.example:7780.evil.test", "world.example:7780", false},
           {"http://evil.test", "world.example:7780", false},
           {"null", "world.example:7780", false},
           {"ftp://world.example:7780", "world.example:7780", false},
           {"http://world.example:7780", "", false},
           {"https://play.example.org.evil.test", "x", false},
       })
    EXPECT_EQ(webOriginAllowed(c.origin, c.host, listed), c.allowed) << c.origin << " on " << c.host;
}

}  // namespace
}  // namespace kelva::world
