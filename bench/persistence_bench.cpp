// Saving and loading the data files on the real disk.
//
// savestats after one change is measured against its floor: the same bytes
// written by the bare recipe of a durable replace (a temporary file, written,
// flushed, renamed over the old one, the folder flushed), in the same folder,
// in the same run. The ratio is what matters: the floor is what the disk
// costs, the rest is ours.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_data.h"
#include "data/stats_file.h"
#include "persist/persistence.h"

namespace kelva::bench {
namespace {

// The bare durable replace, with nothing of the game around it.
void bareReplace(const std::string& folder, const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".floor";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::size_t done = 0;
  while (fd >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (fd < 0 || done != bytes.size() || ::fsync(fd) != 0 || ::close(fd) != 0 ||
      ::rename(temp.c_str(), path.c_str()) != 0) {
    throw std::runtime_error("the floor's replace failed");
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || ::fsync(dir) != 0) throw std::runtime_error("the floor's folder flush failed");
  ::close(dir);
}

// A full roster, loaded from a full stats file, and saved once so that the
// file exists and the formatted lines are at hand as in a running game.
struct FullRoster {
  BenchFolder folder;
  DiskFileSystem disk;
  Bot bot{disk, folder.path()};
  FullRoster() {
    folder.write("stats.txt", fullStatsFile());
    if (initstats(*bot.form).outcome != LoadOutcome::kLoaded || bot.form->playerCount != 5001) {
      throw std::runtime_error("the full stats file did not load");
    }
    savestats(*bot.form);
  }
  // One character changes, as after a fight or a purchase. Slots are taken
  // in turn and the gold alternates between lengths, so that most saves
  // move the lines after the changed one.
  void changeOne(int64_t n) {
    PlayerRecord& r = bot.form->roster[static_cast<std::size_t>(n * 7919 % 5001)];
    r.gold = r.gold < 100000 ? r.gold + 100000 : r.gold - 99999;
  }
};

void BM_SavestatsAfterOneChange(benchmark::State& state) {
  FullRoster game;
  int64_t n = 0;
  for (auto _ : state) {
    game.changeOne(n++);
    savestats(*game.bot.form);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fullStatsFile().size()));
}
BENCHMARK(BM_SavestatsAfterOneChange)->Unit(benchmark::kMillisecond);

void BM_SavestatsFloor(benchmark::State& state) {
  FullRoster game;
  const std::string bytes = formatStatsFile(game.bot.form->roster, 5001);
  const std::string path = game.folder.file("stats.txt");
  for (auto _ : state) bareReplace(game.folder.path(), path, bytes);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SavestatsFloor)->Unit(benchmark::kMillisecond);

// The two, taken in turns in one loop so that both see the same disk at the
// same moment; the counters give the medians and their ratio.
void BM_SavestatsVsFloor(benchmark::State& state) {
  FullRoster game;
  const std::string path = game.folder.file("stats.txt");
  std::vector<double> saves;
  std::vector<double> floors;
  int64_t n = 0;
  for (auto _ : state) {
    game.changeOne(n++);
    const std::string bytes = formatStatsFile(game.bot.form->roster, 5001);  // outside both timings
    const auto t0 = std::chrono::steady_clock::now();
    savestats(*game.bot.form);
    const auto t1 = std::chrono::steady_clock::now();
    bareReplace(game.folder.path(), path, bytes);
    const auto t2 = std::chrono::steady_clock::now();
    saves.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    floors.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  const double save = median(saves);
  const double floor = median(floors);
  state.counters["savestats_ms"] = save;
  state.counters["floor_ms"] = floor;
  state.counters["ratio"] = floor > 0 ? save / floor : 0;
  // The bytes written must be the game's own, or the comparison means nothing.
  auto read = game.disk.readFile(path);
  if (!read.isOk() || *read.value() != formatStatsFile(game.bot.form->roster, 5001)) {
    state.SkipWithError("the floor wrote other bytes than savestats");
  }
}
BENCHMARK(BM_SavestatsVsFloor)->Unit(benchmark::kMillisecond)->Iterations(300);

// The game's own part of a save alone: what the stats file cache costs when
// one character changed, with no disk at all.
void BM_FormatAfterOneChange(benchmark::State& state) {
  FullRoster game;
  int64_t n = 0;
  for (auto _ : state) {
    game.changeOne(n++);
    benchmark::DoNotOptimize(game.bot.form->statsCache.format(game.bot.form->roster, 5001).size());
  }
}
BENCHMARK(BM_FormatAfterOneChange)->Unit(benchmark::kMicrosecond);

// What the cache saves: formatting every line anew.
void BM_FormatWholeRosterUncached(benchmark::State& state) {
  FullRoster game;
  for (auto _ : state) benchmark::DoNotOptimize(formatStatsFile(game.bot.form->roster, 5001).size());
}
BENCHMARK(BM_FormatWholeRosterUncached)->Unit(benchmark::kMicrosecond);

// Start-up's loads of the three full files from the disk (5001 characters,
// 501 catalogue entries, 5001 object definitions).
void BM_LoadFullFiles(benchmark::State& state) {
  BenchFolder folder;
  folder.write("stats.txt", fullStatsFile());
  folder.write("armor~weapon.txt", fullCatalogFile());
  folder.write("objects.txt", fullObjectsFile());
  DiskFileSystem disk;
  Bot bot(disk, folder.path());
  for (auto _ : state) {
    const bool whole = initstats(*bot.form).outcome == LoadOutcome::kLoaded &&
                       loadarwe(*bot.form).outcome == LoadOutcome::kLoaded &&
                       loadobjects(*bot.form).outcome == LoadOutcome::kLoaded;
    if (!whole || bot.form->playerCount != 5001 || bot.form->lastCatalogIndex != 500 ||
        bot.form->lastObjectIndex != 5000) {
      state.SkipWithError("a full file did not load whole");
      break;
    }
    state.PauseTiming();
    bot.form->console.Combo1.clear();  // each load lists every name again
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadFullFiles)->Unit(benchmark::kMillisecond);

void loadOne(benchmark::State& state, LoadResult (*load)(Form1&), const char* fileName, std::string (*make)()) {
  BenchFolder folder;
  folder.write(fileName, make());
  DiskFileSystem disk;
  Bot bot(disk, folder.path());
  for (auto _ : state) {
    if (load(*bot.form).outcome != LoadOutcome::kLoaded) {
      state.SkipWithError("the file did not load");
      break;
    }
    state.PauseTiming();
    bot.form->console.Combo1.clear();
    state.ResumeTiming();
  }
}
BENCHMARK_CAPTURE(loadOne, stats, initstats, "stats.txt", fullStatsFile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadOne, catalogue, loadarwe, "armor~weapon.txt", fullCatalogFile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadOne, objects, loadobjects, "objects.txt", fullObjectsFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelva::bench
