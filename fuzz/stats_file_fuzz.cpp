// The stats file loader on any bytes: it either loads the file whole or says
// why not, never crashes. What it loads, saved and loaded again, gives the
// same characters, and the save cache writes the same bytes as the formatter.
#include <memory>

#include "data/stats_cache.h"
#include "data/stats_file.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto parsed = parseStatsFile(bytes, "stats.txt");
  if (!parsed.isOk()) {
    if (parsed.status().message().rfind("stats.txt", 0) != 0) fuzz::broken("the error does not name the file");
    return 0;
  }
  const auto& records = parsed.value();
  static auto roster = std::make_unique<Roster>();
  for (std::size_t i = 0; i < records.size(); ++i) (*roster)[i] = records[i];
  const int count = static_cast<int>(records.size());
  const std::string saved = formatStatsFile(*roster, count);

  StatsFileCache cache;
  if (cache.format(*roster, count) != saved) fuzz::broken("the cache wrote other bytes");

  auto again = parseStatsFile(saved, "stats.txt");
  if (!again.isOk()) fuzz::broken("a saved stats file does not load");
  if (again.value() != records) fuzz::broken("a saved stats file loads as other characters");
  return 0;
}
