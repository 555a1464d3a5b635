#include "console/web/metered_files.h"

#include <chrono>

namespace kelva::console::web {

Status MeteredFiles::replaceFile(const std::string& path, const std::string& bytes) {
  const auto start = std::chrono::steady_clock::now();
  Status written = files_.replaceFile(path, bytes);
  metrics_.saved(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), written.isOk());
  return written;
}

}  // namespace kelva::console::web
