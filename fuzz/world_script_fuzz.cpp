// The world-script language on any text: every line is taken apart or
// refused with a reason, and a whole script runs the bot to an exit status of
// script mode without crashing. Whatever the script makes the bot save loads
// again whole.
#include <sstream>

#include "app/script_runner.h"
#include "fuzz/data_files.h"
#include "support/fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  const std::string_view script(reinterpret_cast<const char*>(data), size);

  // Each line alone, as the parser sees it.
  bool runnable = true;
  bool anyCommand = false;
  int lines = 0;
  for (std::size_t pos = 0; pos <= script.size();) {
    std::size_t end = script.find('\n', pos);
    if (end == std::string_view::npos) end = script.size();
    auto parsed = app::parseScriptLine(script.substr(pos, end - pos));
    if (!parsed.isOk() && parsed.status().message().empty()) fuzz::broken("a refused line without a reason");
    if (parsed.isOk() && parsed.value()) {
      const app::ScriptLine& line = *parsed.value();
      anyCommand = true;
      // Long runs of ticks only make the fuzzer slow; the parse is checked.
      if (line.count > 50 || line.count < 0) runnable = false;
      if (line.command == app::ScriptCommand::kWorldQueryRounds && line.count > 50) runnable = false;
    }
    ++lines;
    pos = end + 1;
  }
  // A script with no line that runs would only be refused at its first line;
  // running it would spend the fuzzer's time on building a bot.
  if (!runnable || !anyCommand || lines > 200) return 0;

  testing::MemoryFileSystem files;
  files.files["/data/stats.txt"] =
      "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,hppotion!!0,0,0,0,,0,0,0,10,15,0,10,10\r\n";
  files.files["/data/objects.txt"] = "0,5,15,10,20,Rat,battle,3,7,,0\r\n10,0,0,0,0,,heal,0,8,,0\r\n";
  std::ostringstream out;
  std::ostringstream err;
  {
    app::ScriptRunner runner(files, app::ScriptSettings{"/data", 1}, out, err);
    std::istringstream in{std::string(script)};
    const int status = runner.run(in);
    if (status < app::kScriptOk || status > app::kScriptDataError) fuzz::broken("an exit status script mode does not have");
  }
  fuzz::checkSavedFilesLoad(files.files);
  return 0;
}
