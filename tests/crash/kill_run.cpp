// The kill test: kelvabot is killed with SIGKILL at random moments while it
// saves, again and again, and after every kill each data file must load
// whole, as the version before or a version the bot wrote since.
//
// The bot runs a world script that saves all the time: avatars arrive (each
// new character rewrites stats.txt), an administrator adds weapons
// (armor~weapon.txt) and monsters (objects.txt), and the backups are written.
// Everything the script does only adds lines, so every version the bot writes
// holds the version before it as its beginning: after a kill, each file must
// parse whole and begin with exactly the bytes it held before the run, and
// each character line it gained must be a new character's line. Each run
// starts on the files the last kill left, so a file that no longer loads
// also shows as a bot that refuses to start.
//
//   kelva_kill_test KELVABOT [ROUNDS [SEED]]
#include <signal.h>
#include <sys/wait.h>

#include <random>
#include <thread>
#include <vector>

#include "crash_files.h"
#include "data/catalog_file.h"
#include "data/data_lines.h"
#include "data/objects_file.h"
#include "data/player_record.h"
#include "data/stats_file.h"

namespace {

using namespace kelva;
namespace fs = std::filesystem;

using crash::fail;
using crash::failures;
using crash::slurp;
using crash::spit;

std::string initialStats() {
  std::string out;
  for (int i = 0; i < 1000; ++i) {
    PlayerRecord r;
    setStartingValues(r, "Old" + std::to_string(i));
    r.gold = i;
    r.items = i % 2 ? "hppotion,scan" : "";
    out += statsLine(r) + "\r\n";
  }
  return out;
}

std::string initialCatalog() {
  std::string out;
  for (int i = 0; i < 50; ++i) out += "0," + std::to_string(10 * i) + ",1,0," + std::to_string(i + 1) + ",3,Old blade\r\n";
  return out;
}

std::string initialObjects() {
  std::string out;
  for (int i = 0; i < 1000; ++i) out += "0,5,15,10,20,Rat,battle,3," + std::to_string(1000 + i) + ",,0\r\n";
  return out;
}

std::string savingScript() {
  std::ostringstream s;
  s << "admin 0 Boss\nlogin 1 pw Crash Bot 0 0 0\n";
  for (int i = 0; i < 4000; ++i) {
    s << "arrive New" << i << "\n";
    if (i < 400) s << "chat Boss 1 arweadd weapon,7,2," << 100 + i << ",600,Blade " << i << "\n";
    if (i < 3000) s << "chat Boss 1 objadd battle,60,4,9,Troll" << i << ",40,80," << 10000 + i << "\n";
    if (i % 200 == 199) s << "timer2 600\n";
  }
  return s.str();
}

// The line a newly arrived avatar's character is saved as.
bool isNewCharacterLine(std::string_view line) {
  const auto comma = line.find(',');
  if (comma == std::string_view::npos) return false;
  PlayerRecord r;
  setStartingValues(r, std::string(line.substr(0, comma)));
  return line.starts_with("New") && statsLine(r) == line;
}

struct DataFile {
  const char* name;
  bool (*loads)(const std::string& bytes);
};

const DataFile kFiles[] = {
    {"stats.txt", [](const std::string& b) { return parseStatsFile(b, "stats.txt").isOk(); }},
    {"armor~weapon.txt", [](const std::string& b) { return parseCatalogFile(b, "armor~weapon.txt").isOk(); }},
    {"objects.txt", [](const std::string& b) { return parseObjectsFile(b, "objects.txt").isOk(); }},
};
const DataFile kBackups[] = {
    {"stats_BACKUP.txt", kFiles[0].loads},
    {"armor~weapon_BACKUP.txt", kFiles[1].loads},
    {"objects_BACKUP.txt", kFiles[2].loads},
};

pid_t startBot(const std::string& bot, const fs::path& dir, const fs::path& errFile) {
  static const int devNull = ::open("/dev/null", O_WRONLY);
  return crash::startScriptBot(bot, dir, dir / "saving.script", devNull, errFile);
}

// How long the bot takes from its start to its first save on this machine
// (a sanitizer build on a busy machine starts far slower than a release
// build), so that the kills spread over the saving and not only the start.
// The run is killed and its files put back.
int measureFirstSave(const std::string& bot, const fs::path& dir, const fs::path& errFile) {
  const std::string before = slurp(dir / "stats.txt").value_or("");
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = startBot(bot, dir, errFile);
  int ms = -1;
  while (ms < 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (slurp(dir / "stats.txt").value_or("") != before) {
      ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    }
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<crash::RunArguments> args = crash::runArguments(argc, argv, "kill test", 40);
  if (!args) return 2;
  const std::string& bot = args->bot;
  const int rounds = args->rounds;
  std::mt19937 random(args->seed);

  // The data folder sits below the working folder, on a real disk.
  const std::optional<fs::path> folder = crash::makeFolder("kill-test");
  if (!folder) return 2;
  const fs::path dir = *folder;
  spit(dir / "stats.txt", initialStats());
  spit(dir / "armor~weapon.txt", initialCatalog());
  spit(dir / "objects.txt", initialObjects());
  spit(dir / "saving.script", savingScript());
  const fs::path errFile = dir / "stderr.txt";
  const std::string pristine[] = {initialStats(), initialCatalog(), initialObjects()};

  const int firstSaveMs = measureFirstSave(bot, dir, errFile);
  if (firstSaveMs < 0) {
    std::fprintf(stderr, "FAIL: kelvabot never saved: %s\n", slurp(errFile).value_or("").c_str());
    return 1;
  }
  std::printf("the bot saves for the first time %d ms after its start\n", firstSaveMs);
  for (std::size_t i = 0; i < std::size(kFiles); ++i) spit(dir / kFiles[i].name, pristine[i]);

  int roundsWithChanges = 0;
  int roundsKilled = 0;
  for (int round = 0; round < rounds && failures == 0; ++round) {
    std::vector<std::string> before;
    for (const DataFile& f : kFiles) before.push_back(slurp(dir / f.name).value_or(""));

    const pid_t child = startBot(bot, dir, errFile);
    // From at once (before the first save) to well into the saving.
    const int delayMs = std::uniform_int_distribution<int>(0, firstSaveMs + 600)(random);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ++roundsKilled;
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      // The bot ended by itself before the kill: only a finished script may.
      fail("round " + std::to_string(round) + ": kelvabot ended with status " +
           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ": " + slurp(errFile).value_or(""));
      break;
    }

    bool changed = false;
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
      const std::string where = "round " + std::to_string(round) + " (killed after " + std::to_string(delayMs) +
                                " ms): " + kFiles[i].name;
      const auto now = slurp(dir / kFiles[i].name);
      if (!now) {
        fail(where + " is gone");
        continue;
      }
      if (!kFiles[i].loads(*now)) fail(where + " does not load whole");
      if (!now->starts_with(before[i])) fail(where + " lost bytes it held before the run");
      if (*now != before[i]) changed = true;
      if (i == 0) {
        const std::string_view gained = std::string_view(*now).substr(std::min(before[i].size(), now->size()));
        if (!gained.empty()) {
          for (std::string_view line : readDataLines(gained)) {
            if (!line.empty() && !isNewCharacterLine(line)) fail(where + " gained a line no arrival writes: " + std::string(line));
          }
        }
      }
    }
    for (const DataFile& f : kBackups) {
      const auto now = slurp(dir / f.name);
      if (now && !f.loads(*now)) fail("round " + std::to_string(round) + ": " + f.name + " does not load whole");
    }
    if (changed) ++roundsWithChanges;
  }

  // A killed save leaves its temporary file; the next run's first save of
  // that file removes it. So at most one per file (three data files, three
  // backups) can be left, from the last run that saved it.
  int leftovers = 0;
  for (const auto& e : fs::directory_iterator(dir)) leftovers += e.path().filename().string().find(".tmp-") != std::string::npos;
  std::printf("%d kills, files changed in %d rounds, %d temporary files left by killed saves\n", roundsKilled,
              roundsWithChanges, leftovers);
  if (leftovers > 6) fail(std::to_string(leftovers) + " temporary files of killed saves piled up");
  // Without saves between the kills the test would prove nothing.
  if (failures == 0 && roundsWithChanges < rounds / 3) {
    fail("the bot saved in only " + std::to_string(roundsWithChanges) + " rounds");
  }
  return crash::finish(dir);
}
