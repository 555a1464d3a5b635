// Peak resident memory of a headless bot with every table full.
//
// Runs the real kelvabot in script mode on full data files (5001 characters,
// 501 catalogue entries, 5001 object definitions) with a script that fills
// the rest: a world of more shrooms than the cache holds, 20 administrators
// watching object numbers, 20 battles, owner messages. The peak is the
// child's maximum resident set as the kernel counted it.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <benchmark/benchmark.h>

#include "bench/bench_data.h"

namespace kelva::bench {
namespace {

constexpr int kShroomsInWorld = 32768 + 232;  // the cache keeps 32768

std::string fullTablesScript() {
  std::ostringstream s;
  // Shrooms over the nine sectors around (0, 0); the query reports them all.
  for (int i = 0; i < kShroomsInWorld; ++i) {
    s << "world-add " << 200000 + i << " " << (i % 3 ? "shroom.rwx" : "shroome.rwx") << " "
      << (i % 128) * 150 - 7000 << " 0 " << (i / 128) * 80 - 7000 << "\n";
  }
  s << "login 1 pw Bench Bot 0 0 0\n";
  // 20 object-number watchers: three rounds of administrators in the seven boxes.
  for (int i = 0; i < 20; ++i) {
    s << "admin " << i % 7 << " Admin" << i << "\n";
    s << "chat Admin" << i << " " << 1000 + i << " /object number\n";
    s << "chat Admin" << i << " " << 1000 + i << " bmessage: message number " << i << "\n";
  }
  // 20 players click the monster on object 100000 (a battle definition).
  for (int i = 0; i < 20; ++i) s << "click-object Player" << i << " " << 10 + i << " 100000\n";
  return s.str();
}

void BM_PeakMemoryFullTables(benchmark::State& state) {
  BenchFolder folder;
  folder.write("stats.txt", fullStatsFile());
  folder.write("armor~weapon.txt", fullCatalogFile());
  folder.write("objects.txt", fullObjectsFile());
  folder.write("full.script", fullTablesScript());
  const std::string errPath = folder.file("stderr.txt");
  const std::string outPath = folder.file("transcript.txt");
  for (auto _ : state) {
    const pid_t child = ::fork();
    if (child == 0) {
      const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(err, 2);
      const std::string script = folder.file("full.script");
      ::execl(KELVABOT_PATH, KELVABOT_PATH, "--script", script.c_str(), "--data-dir", folder.path().c_str(),
              "--seed", "1", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      state.SkipWithError("kelvabot did not run the script to its end");
      break;
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  }
  // The run must really have filled the tables.
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  auto count = [](const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  const std::string transcript = slurp(outPath);
  if (slurp(errPath).find("shroom cache is full") == std::string::npos) {
    state.SkipWithError("the shroom cache did not fill");
  } else if (count(transcript, "You are battling") != 20) {
    state.SkipWithError("the battle table did not fill");
  } else if (count(transcript, "list1 ") != 20 || count(transcript, "combo1 ") != 5001) {
    state.SkipWithError("the owner messages or the names did not all arrive");
  }
}
BENCHMARK(BM_PeakMemoryFullTables)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kelva::bench
