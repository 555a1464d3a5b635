// kelvabot: the text role-playing game bot.
//
// With --script it runs against the simulated world, driven by a world
// script (see docs/world_scripts.md); otherwise it runs in real time, with the
// operator's console window or headless (app/main/run_realtime.h).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/main/run_realtime.h"
#include "app/options.h"
#include "app/roster_tool.h"
#include "app/script_runner.h"
#include "console/web/console_password.h"
#include "data/file_system.h"

int main(int argc, char** argv) {
  using namespace kelva;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "roster") {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
      std::cout << app::rosterUsageText();
      return 0;
    }
    auto request = app::parseRosterArguments(rest);
    if (!request.isOk()) {
      std::cerr << "kelvabot roster: " << request.status().message() << "\n\n" << app::rosterUsageText();
      return 2;
    }
    DiskFileSystem files;
    return app::runRosterTool(request.value(), files, std::cout, std::cerr);
  }
  if (!args.empty() && args[0] == "console-password") {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    return console::web::runConsolePasswordCommand(rest, 0, std::cin, std::cout, std::cerr);
  }
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
    return app::runRealtime(argc, argv, options, options.dataDir ? *options.dataDir : app::executableFolder());
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
