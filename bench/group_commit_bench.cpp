// Group commit against the disk: the saves of one round of event handling
// written once. The files are real files, replaced durably, in a folder on
// the disk of the checkout.
#include <benchmark/benchmark.h>

#include <climits>
#include <string>

#include "bench/bench_data.h"
#include "combat/battle_table.h"
#include "data/file_system.h"
#include "data/stats_file.h"
#include "persist/persistence.h"

namespace kelva::bench {
namespace {

constexpr int kRoster = 3000;

// A bot on real files with a roster of 3,000 characters, saved once.
struct DiskGame {
  BenchFolder folder;
  DiskFileSystem files;
  Bot bot{files, folder.path()};
  DiskGame() {
    for (int i = 0; i < kRoster; ++i) {
      setStartingValues(bot.form->roster[static_cast<std::size_t>(i)], "Player" + std::to_string(i));
    }
    bot.form->playerCount = kRoster;
    bot.router->consoleAction("first save", [&] { savestats(*bot.form); });
  }
  // Player0 against a monster of one hit point that pays the largest
  // experience a long holds: one strike wins, and 6,553 level-ups follow.
  void openRewardFight() {
    setStartingValues(bot.form->roster[0], "Player0");
    combat::addbattle(*bot.form, -1000, 1, "Hoard", 1, INT_MAX, 5, "Player0", 0, 7);
  }
  void checkReward(benchmark::State& state) {
    if (bot.form->roster[0].level != 6554) state.SkipWithError("the reward did not make 6,553 level-ups");
    if (!savedAsItStands()) state.SkipWithError("stats.txt does not hold the game as it stands");
  }
  bool savedAsItStands() {
    auto read = files.readFile(folder.file("stats.txt"));
    return read.isOk() && read.value() && *read.value() == formatStatsFile(bot.form->roster, bot.form->playerCount);
  }
};

// The administrator's 32-bit reward: one battle tick, as Timer1 runs it,
// with its 6,553 level-ups, their whispers and the one durable save.
void BM_RewardOf32BitExpGrouped(benchmark::State& state) {
  DiskGame game;
  for (auto _ : state) {
    state.PauseTiming();
    game.openRewardFight();
    state.ResumeTiming();
    game.bot.router->timer1Tick();
  }
  game.checkReward(state);
}
BENCHMARK(BM_RewardOf32BitExpGrouped)->Unit(benchmark::kMillisecond);

// The same tick with every save written when it is asked for, as the bot
// saved before group commit: 6,553 durable saves. One run: it takes seconds.
void BM_RewardOf32BitExpSavingAtOnce(benchmark::State& state) {
  DiskGame game;
  for (auto _ : state) {
    state.PauseTiming();
    game.openRewardFight();
    state.ResumeTiming();
    combat::battleTick(*game.bot.form);  // outside any round: each save at once
  }
  game.checkReward(state);
}
BENCHMARK(BM_RewardOf32BitExpSavingAtOnce)->Unit(benchmark::kMillisecond)->Iterations(1);

// One pump of the /reset storm: 250 players' /reset (a quarter second of
// 99 players at 10 a second, rounded up) delivered by one Wait against the
// 3,000-character roster, with the one save.
void BM_ResetStormOnePump(benchmark::State& state) {
  DiskGame game;
  Bot& bot = game.bot;
  bot.form->timawwaitEnabled = true;
  const std::size_t before = bot.transcriptLines;
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < 250; ++i) bot.world.queueChat("Player" + std::to_string(i % 99), 10 + i % 99, "/reset");
    state.ResumeTiming();
    bot.router->timawwaitTick();
  }
  // Each /reset teleports and whispers.
  if (bot.transcriptLines - before != 500 * static_cast<std::size_t>(state.iterations())) {
    state.SkipWithError("not every /reset was answered");
  }
  if (!game.savedAsItStands()) state.SkipWithError("stats.txt does not hold the game as it stands");
}
BENCHMARK(BM_ResetStormOnePump)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelva::bench
