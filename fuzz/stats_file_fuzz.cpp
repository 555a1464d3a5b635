// The stats file loader on any bytes: it either loads the file whole or says
// why not, never crashes. What it loads, saved and loaded again, gives the
// same characters, and the save cache writes the same bytes as the formatter.
#include "data/stats_cache.h"
#include "data/stats_file.h"
#include "fuzz/data_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  auto save = [](const Roster& roster, int count) {
    std::string saved = formatStatsFile(roster, count);
    StatsFileCache cache;
    if (cache.format(roster, count) != saved) fuzz::broken("the cache wrote other bytes");
    return saved;
  };
  fuzz::checkSavedFileLoadsAgain<Roster>(std::string_view(reinterpret_cast<const char*>(data), size), "stats.txt",
                                         parseStatsFile, save, [](const PlayerRecord&) { return true; });
  return 0;
}
