// Where the programs find the files they share: the player's page, the
// console's page and the demo.
//
// An installed program (cmake --install, the Debian package) keeps them in
// PREFIX/share/kelva/, beside the PREFIX/bin/ it runs from, and finds them
// from its own path: a tree moved elsewhere still works, and no folder of
// the machine it was built on is compiled into it. A program run from its
// build folder has no such folder; CMake leaves a kelva-share/ folder in the
// build folder instead, whose entries link to the source tree's folders.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kelva {

// The folder of the running program (from /proc/self/exe); empty when the
// system does not say.
std::filesystem::path programFolder();

// The shared folder `name` (such as "web") for a program in `programFolder`:
// PREFIX/share/kelva/NAME when that folder exists, since that is where an
// installed program's files are; otherwise kelva-share/NAME in the program's
// folder or the nearest folder above it that has one (the build folder, for
// the tests built in its subfolders). When neither exists the installed
// place is returned, so that what fails to open names where it was looked for.
std::string sharedFolder(const std::filesystem::path& programFolder, std::string_view name);

// sharedFolder() for the running program.
std::string sharedFolder(std::string_view name);

}  // namespace kelva
