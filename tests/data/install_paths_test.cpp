#include "data/install_paths.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/temp_folder.h"

namespace kelva {
namespace {

namespace fs = std::filesystem;

// Where the program finds its shared folder NAME, from the folder it runs in.
TEST(InstallPaths, TheInstalledFolderThenTheBuildFoldersThenTheInstalledPlaceNamed) {
  struct Case {
    const char* what;
    std::vector<const char*> made;
    const char* from;
    const char* name;
    const char* found;
  };
  const Case cases[] = {
      // An installed program's share/kelva/NAME wins, even when a build
      // folder's kelva-share/ is also on the way up (a prefix inside a build folder).
      {"installed", {"prefix/bin", "prefix/share/kelva/web", "kelva-share/web"}, "prefix/bin", "web",
       "prefix/share/kelva/web"},
      // Each name is looked up on its own: one not installed comes from the build folder's.
      {"not installed", {"prefix/bin", "prefix/share/kelva/web", "kelva-share/console-web"}, "prefix/bin",
       "console-web", "kelva-share/console-web"},
      // Run from the build folder, or from a test folder inside it.
      {"in the build folder", {"build/kelva-share/web"}, "build", "web", "build/kelva-share/web"},
      {"below the build folder", {"build/kelva-share/web", "build/tests/crash"}, "build/tests/crash", "web",
       "build/kelva-share/web"},
      // With neither, the installed place, so that the error of whatever
      // fails to open it names where the files belong.
      {"neither", {"prefix/bin"}, "prefix/bin", "demo", "prefix/share/kelva/demo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempFolder tmp("install_paths");
    for (const char* folder : c.made) fs::create_directories(tmp.path / folder);
    EXPECT_EQ(sharedFolder(tmp.path / c.from, c.name), (tmp.path / c.found).string());
  }
}

}  // namespace
}  // namespace kelva
