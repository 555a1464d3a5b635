// Full data files and a bot to run them on, for the benchmarks.
//
// The files are as large as the game's tables allow (5001 characters, 501
// catalogue entries, 5001 object definitions) and look like a busy game's:
// characters with items, skills and clans, shops, monsters and clan halls.
#pragma once

#include <memory>
#include <string>

#include "app/event_router.h"
#include "data/file_system.h"
#include "session/sim_world.h"
#include "state/console_model.h"
#include "state/form1.h"
#include "state/held_outputs.h"

namespace kelva::bench {

std::string fullStatsFile();
std::string fullCatalogFile();
std::string fullObjectsFile();

// A fresh folder for the run's files, removed at the end. It is made below
// the working folder (KELVA_BENCH_DIR overrides), so that the files sit on
// the same disk as a real data folder would, not on a RAM disk.
class BenchFolder {
 public:
  BenchFolder();
  ~BenchFolder();
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// A console that shows nothing and a sound that plays nothing.
class SilentConsole : public ConsoleView, public Sound {
 public:
  void combo1Added(const std::string&) override {}
  void text2Written(const std::string&) override {}
  void text3Written(const std::string&) override {}
  void list1Added(const std::string&) override {}
  void restart() override {}
};

// A file system that keeps nothing: for timing events with the saves left out.
class DiscardingFileSystem : public FileSystem {
 public:
  Result<std::optional<std::string>> readFile(const std::string&) override { return std::optional<std::string>(); }
  Status replaceFile(const std::string&, const std::string&) override { return Status::ok(); }
};

// A logged-in bot on a simulated world whose transcript is only counted,
// built as the program builds it: its outputs held until each round's saves.
struct Bot {
  Bot(FileSystem& files, const std::string& dataDir);
  std::size_t transcriptLines = 0;
  SimWorld world;
  SilentConsole console;
  std::unique_ptr<HeldOutputs> held;
  std::unique_ptr<Form1> form;
  std::unique_ptr<app::EventRouter> router;
};

}  // namespace kelva::bench
