#include "data/install_paths.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/temp_folder.h"

namespace kelva {
namespace {

namespace fs = std::filesystem;

// An installed program's share/kelva/NAME wins, even when a build folder's
// kelva-share/ is also on the way up (a prefix inside a build folder).
TEST(InstallPaths, TheInstalledFolderBesideTheProgramWins) {
  testing::TempFolder tmp("install_paths_installed");
  fs::create_directories(tmp.path / "prefix" / "bin");
  fs::create_directories(tmp.path / "prefix" / "share" / "kelva" / "web");
  fs::create_directories(tmp.path / "kelva-share" / "web");
  EXPECT_EQ(sharedFolder(tmp.path / "prefix" / "bin", "web"), (tmp.path / "prefix/share/kelva/web").string());
  // Each name is looked up on its own: one not installed comes from the
  // build folder's.
  fs::create_directories(tmp.path / "kelva-share" / "console-web");
  EXPECT_EQ(sharedFolder(tmp.path / "prefix" / "bin", "console-web"),
            (tmp.path / "kelva-share/console-web").string());
}

// Run from the build folder, or from a test folder inside it, the program
// finds the build folder's kelva-share/NAME.
TEST(InstallPaths, AProgramInItsBuildFolderOrBelowFindsKelvaShare) {
  testing::TempFolder tmp("install_paths_build");
  fs::create_directories(tmp.path / "build" / "kelva-share" / "web");
  fs::create_directories(tmp.path / "build" / "tests" / "crash");
  const std::string expected = (tmp.path / "build/kelva-share/web").string();
  EXPECT_EQ(sharedFolder(tmp.path / "build", "web"), expected);
  EXPECT_EQ(sharedFolder(tmp.path / "build" / "tests" / "crash", "web"), expected);
}

// With neither, the answer is the installed place, so that the error of
// whatever fails to open it names where the files belong.
TEST(InstallPaths, WithNeitherTheInstalledPlaceIsNamed) {
  testing::TempFolder tmp("install_paths_none");
  fs::create_directories(tmp.path / "prefix" / "bin");
  EXPECT_EQ(sharedFolder(tmp.path / "prefix" / "bin", "demo"), (tmp.path / "prefix/share/kelva/demo").string());
}

TEST(InstallPaths, TheRunningProgramsFolderHoldsIt) {
  EXPECT_TRUE(fs::exists(programFolder() / fs::path(::program_invocation_short_name)));
}

}  // namespace
}  // namespace kelva
