// The file system with the operator's figures taken on the way: each data
// file replaced is a save, timed, and counted as failed when it failed.
#pragma once

#include "console/web/metrics.h"
#include "data/file_system.h"

namespace kelva::console::web {

class MeteredFiles : public FileSystem {
 public:
  // `files` and `metrics` must outlive this.
  MeteredFiles(FileSystem& files, GameMetrics& metrics) : files_(files), metrics_(metrics) {}

  Result<std::optional<std::string>> readFile(const std::string& path) override { return files_.readFile(path); }
  Status replaceFile(const std::string& path, const std::string& bytes) override;

 private:
  FileSystem& files_;
  GameMetrics& metrics_;
};

}  // namespace kelva::console::web
