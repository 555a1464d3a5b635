// The time the bot takes for one event: a chat command and a battle tick.
// The saves these make are left out (a file system that keeps nothing), so
// that the figures are the game's own work, not the disk's.
#include <benchmark/benchmark.h>

#include "bench/bench_data.h"
#include "combat/battle_table.h"

namespace kelva::bench {
namespace {

// A bot with 101 characters, Player0 to Player100: every one that userpos
// can find.
struct Game {
  DiscardingFileSystem files;
  Bot bot{files, "/nowhere"};
  Game() {
    for (int i = 0; i <= 100; ++i) {
      PlayerRecord& r = bot.form->roster[static_cast<std::size_t>(i)];
      setStartingValues(r, "Player" + std::to_string(i));
      r.items = "hppotion,scan";
    }
    bot.form->playerCount = 101;
  }
};

// "/stats" from the character userpos finds last, delivered as the world
// delivers it: queued, then handed over inside Wait.
void BM_DispatchStats(benchmark::State& state) {
  Game game;
  Bot& bot = game.bot;
  const std::size_t before = bot.transcriptLines;
  for (auto _ : state) {
    bot.world.queueChat("Player100", 7, "/stats");
    bot.world.Wait(0);
  }
  // Each /stats is answered with two whispers.
  if (bot.transcriptLines - before != 2 * static_cast<std::size_t>(state.iterations())) {
    state.SkipWithError("not every /stats was answered");
  }
}
BENCHMARK(BM_DispatchStats)->Unit(benchmark::kMicrosecond);

// One battle tick with all 20 slots taken: ten players against monsters and
// ten player-versus-player fights (twenty players), every fighter with hit
// points enough to last the whole run.
void BM_BattleTick20Slots(benchmark::State& state) {
  Game game;
  Form1& form = *game.bot.form;
  for (int i = 0; i <= 100; ++i) {
    PlayerRecord& r = form.roster[static_cast<std::size_t>(i)];
    r.hp = r.maxHp = r.baseMaxHp = 2000000000;
    r.strength = r.baseStrength = 20;
  }
  for (int i = 0; i < 10; ++i) {
    combat::addbattle(form, 10, 2000000000, "Troll", 12, 50, 20, "Player" + std::to_string(i),
                      static_cast<int16_t>(i), 100 + i);
  }
  for (int i = 0; i < 10; ++i) {
    const int a = 10 + 2 * i;
    combat::addpvp(form, "Player" + std::to_string(a), "Player" + std::to_string(a + 1), 100 + a, 101 + a);
  }
  auto occupied = [&form] {
    int n = 0;
    for (const BattleSlot& s : form.battles) n += s.name1.empty() ? 0 : 1;
    return n;
  };
  if (occupied() != 20) {
    state.SkipWithError("the battle table did not fill");
    return;
  }
  for (auto _ : state) game.bot.router->timer1Tick();
  if (occupied() != 20) state.SkipWithError("a fight ended during the run; the ticks were not all full");
}
BENCHMARK(BM_BattleTick20Slots)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelva::bench
