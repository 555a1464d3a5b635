// kelvabot: the text role-playing game bot.
//
// For now the bot runs in script mode only: against the simulated world,
// driven by a world script (see docs/world_scripts.md).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/script_runner.h"
#include "data/file_system.h"

int main(int argc, char** argv) {
  using namespace kelva;
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = app::parseOptions(args);
  if (!parsed.isOk()) {
    std::cerr << "kelvabot: " << parsed.status().message() << "\n\n" << app::usageText();
    return 2;
  }
  const app::Options& options = parsed.value();
  if (options.help) {
    std::cout << app::usageText();
    return 0;
  }
  if (!options.scriptFile) {
    std::cerr << "kelvabot: only script mode exists yet: run it with --script FILE (see --help)\n";
    return 2;
  }

  app::ScriptSettings settings;
  settings.dataDir = options.dataDir ? *options.dataDir : app::executableFolder();
  settings.seed = options.seed;

  DiskFileSystem files;
  app::ScriptRunner runner(files, settings, std::cout, std::cerr);
  if (*options.scriptFile == "-") return runner.run(std::cin);
  std::error_code ec;
  std::ifstream script;
  if (!std::filesystem::is_directory(*options.scriptFile, ec)) script.open(*options.scriptFile, std::ios::binary);
  if (!script.is_open()) {
    std::cerr << "kelvabot: cannot open the script " << *options.scriptFile << "\n";
    return 2;
  }
  return runner.run(script);
}
