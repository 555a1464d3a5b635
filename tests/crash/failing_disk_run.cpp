// The failing-disk test: kelvabot runs with a limit on the size of the files
// it may write (RLIMIT_FSIZE), so that once stats.txt has grown past it every
// save fails as on a full disk. The bot is killed at a random moment or left
// to finish its script; either way every new character and every gift it
// told of (its transcript) must be in stats.txt, and none of what it could
// not save may have been told.
//
//   kelva_failing_disk_test KELVABOT [ROUNDS [SEED]]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <random>
#include <thread>

#include "crash_files.h"
#include "data/data_lines.h"
#include "data/player_record.h"
#include "data/stats_file.h"

namespace {

using namespace kelva;
namespace fs = std::filesystem;

// Old and new characters together stay within the roster's first 101 slots,
// where the console finds a name.
constexpr int kOldCharacters = 50;
constexpr int kArrivals = 50;

using crash::fail;
using crash::failures;
using crash::slurp;
using crash::spit;

std::string newName(int i) { return "New" + std::to_string(i); }

std::string initialStats() {
  std::string out;
  for (int i = 0; i < kOldCharacters; ++i) {
    PlayerRecord r;
    setStartingValues(r, "Old" + std::to_string(i));
    out += statsLine(r) + "\r\n";
  }
  return out;
}

// Each arrival makes a character (a save; "combo1 NAME" once it is on disk),
// then the operator gives it a gift (a save; the gift's public line).
std::string script() {
  std::ostringstream s;
  s << "login 1 pw Disk Bot 0 0 0\n";
  for (int i = 0; i < kArrivals; ++i) {
    s << "arrive " << newName(i) << "\nselect " << newName(i) << "\ntext2 10\ntext3 50\nchange\ntimer2 1\n";
  }
  return s.str();
}

// The transcript comes through a pipe, which the size limit does not touch.
pid_t startBot(const std::string& bot, const fs::path& dir, rlim_t sizeLimit, int& transcript) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return -1;
  const pid_t child = crash::startScriptBot(bot, dir, dir / "disk.script", pipeEnds[1], dir / "stderr.txt", [&] {
    ::close(pipeEnds[0]);
    // A write past the limit then fails with EFBIG instead of killing the bot.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{sizeLimit, sizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  ::close(pipeEnds[1]);
  transcript = pipeEnds[0];
  return child;
}

// Everything the bot printed, up to its end.
std::string readAll(int fd) {
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return out;
}

struct Told {
  int characters = 0;  // new characters told of
  int gifts = 0;
};

// Checks one run's transcript against the file it left; counts what was told.
Told check(const std::string& where, const std::string& transcript, const std::string& stats) {
  Told told;
  auto parsed = parseStatsFile(stats, "stats.txt");
  if (!parsed.isOk()) {
    fail(where + ": stats.txt does not load whole: " + parsed.status().message());
    return told;
  }
  auto onDisk = [&](const std::string& name) -> const PlayerRecord* {
    for (const PlayerRecord& r : parsed.value())
      if (r.name == name) return &r;
    return nullptr;
  };
  for (std::string_view line : readDataLines(transcript)) {
    const std::string text(line);
    if (text.rfind("combo1 New", 0) == 0) {
      ++told.characters;
      if (!onDisk(text.substr(7))) fail(where + ": told '" + text + "' but the character is not on disk");
    }
    const std::string gift = "say A special gift of 10exp and ";
    if (text.rfind(gift, 0) == 0) {
      ++told.gifts;
      const auto to = text.rfind(" given to ");
      const std::string name = text.substr(to + 10, text.size() - to - 11);
      const PlayerRecord* r = onDisk(name);
      if (!r || r->exp < 10) fail(where + ": told '" + text + "' but the gift is not on disk");
    }
  }
  return told;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<crash::RunArguments> args = crash::runArguments(argc, argv, "failing-disk test", 8);
  if (!args) return 2;
  const std::string& bot = args->bot;
  const int rounds = args->rounds;
  std::mt19937 random(args->seed);

  // The data folder sits below the working folder, on a real disk.
  const std::optional<fs::path> folder = crash::makeFolder("failing-disk-test");
  if (!folder) return 2;
  const fs::path dir = *folder;
  const std::string pristine = initialStats();
  spit(dir / "disk.script", script());
  // The size of a new character's line before its gift (which makes it longer).
  PlayerRecord fresh;
  setStartingValues(fresh, newName(10));
  const std::size_t lineBytes = statsLine(fresh).size() + 2;

  Told total;
  int heldRuns = 0;
  for (int round = 0; round < rounds && failures == 0; ++round) {
    spit(dir / "stats.txt", pristine);
    spit(dir / "armor~weapon.txt", "0,10,1,0,1,3,Old blade\r\n");
    spit(dir / "objects.txt", "0,5,15,10,20,Rat,battle,3,1000,,0\r\n");
    // Room for a few to thirty new characters; the rest cannot be saved.
    const int room = std::uniform_int_distribution<int>(3, 30)(random);
    int out = -1;
    const pid_t child = startBot(bot, dir, pristine.size() + lineBytes * static_cast<std::size_t>(room), out);
    if (child < 0) {
      std::perror("pipe");
      return 2;
    }
    // The transcript is read while the bot runs, so that it never waits on a full pipe.
    std::string transcript;
    std::thread reader([&] { transcript = readAll(out); });
    // Odd rounds run to the script's end; even ones are killed on the way.
    const bool kill = round % 2 == 0;
    int status = 0;
    if (kill) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 400)(random)));
      ::kill(child, SIGKILL);
    }
    ::waitpid(child, &status, 0);
    reader.join();
    const std::string where = "round " + std::to_string(round) + " (room for " + std::to_string(room) + ")";
    const std::string err = slurp(dir / "stderr.txt").value_or("");
    if (!kill && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
      fail(where + ": kelvabot ended with status " + std::to_string(status) + ": " + err);
      break;
    }
    const Told told = check(where, transcript, slurp(dir / "stats.txt").value_or(""));
    total.characters += told.characters;
    total.gifts += told.gifts;
    if (err.find("replies wait until the data files can be written") != std::string::npos) ++heldRuns;
    if (!kill && told.characters >= kArrivals) fail(where + ": every character was told of; the disk never failed");
  }
  std::printf("%d new characters and %d gifts told, all on disk; saving failed in %d runs\n", total.characters,
              total.gifts, heldRuns);
  // Without saves that succeed and saves that fail the test would prove nothing.
  if (failures == 0 && (total.characters == 0 || total.gifts == 0 || heldRuns == 0)) fail("the runs never both saved and failed");
  return crash::finish(dir);
}
