#include "data/install_paths.h"

#include <system_error>

namespace kelva {

std::filesystem::path programFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : program.parent_path();
}

std::string sharedFolder(const std::filesystem::path& programFolder, std::string_view name) {
  std::error_code ec;
  const std::filesystem::path installed = programFolder.parent_path() / "share" / "kelva" / name;
  // The installed layout is looked at first and wins whenever it is there:
  // an installed program never serves files from a build folder, even one
  // left on the same machine.
  if (std::filesystem::is_directory(installed, ec)) return installed.string();
  for (std::filesystem::path folder = programFolder; !folder.empty(); folder = folder.parent_path()) {
    const std::filesystem::path built = folder / "kelva-share" / name;
    if (std::filesystem::is_directory(built, ec)) return built.string();
    if (folder == folder.parent_path()) break;
  }
  return installed.string();
}

std::string sharedFolder(std::string_view name) { return sharedFolder(programFolder(), name); }

}  // namespace kelva
