// A fresh folder on the real disk for one test, removed with it; for the
// pieces that need the kernel (locks) or a library's own file handling.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kelva::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& name)
      : path(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The whole file `name` in the folder; "" when it is missing.
  std::string read(const std::string& name) const {
    std::ifstream in(path / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
  }

  const std::filesystem::path path;
};

}  // namespace kelva::testing
