#include "bench/bench_data.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kelva::bench {

namespace {

const char* const kClans[] = {"none", "Red", "Blue", "Shadow"};
const char* const kItems[] = {"", "hppotion", "hppotion,scan", "scan,hppotion,hppotion,ruby"};
const char* const kSkills[] = {"", "fire", "fire,ice", "behead,steal,healing plants"};

}  // namespace

std::string fullStatsFile() {
  std::string out;
  for (int i = 0; i < 5001; ++i) {
    const int level = 1 + i % 60;
    const std::string clan = kClans[i % 4];
    out += "Player" + std::to_string(i) + "," + std::to_string(level) + ",Human," + clan + "," +
           std::to_string(10 + level) + "," + std::to_string(10 + i % 7) + ",10,10," +
           std::to_string(15 * level) + "," + std::to_string(15 * level) + "," + std::to_string(level) + "," +
           std::to_string(level) + "," + std::to_string(i * 37 % 100000) + "," + std::to_string(i % 9) + "," +
           std::to_string(i * 13 % (level * 100)) + "," + std::to_string(i % 5) + "," + std::to_string(i % 3) +
           "," + kItems[i % 4] + "!" + kSkills[(i / 4) % 4] + "!" + std::to_string(clan == "none" ? 0 : 2) +
           ",0,10,0," + (clan == "none" ? "" : (i % 2 ? "good" : "evil")) + ",5,5,0,10," +
           std::to_string(15 * level) + "," + std::to_string(level) + ",10," + std::to_string(10 + level) + "\r\n";
  }
  return out;
}

std::string fullCatalogFile() {
  std::string out;
  for (int i = 0; i < 501; ++i) {
    const int kind = i % 2;
    out += std::to_string(kind ? 1 + i % 20 : 0) + "," + std::to_string(50 + i * 10) + "," + std::to_string(i % 4) +
           "," + std::to_string(kind) + "," + std::to_string(1 + i / 2) + "," + std::to_string(kind ? 0 : i % 30) +
           "," + (kind ? "Armour of the " : "Sword, sharp, no. ") + std::to_string(i) + "\r\n";
  }
  return out;
}

std::string fullObjectsFile() {
  static const char* const kRoles[] = {"battle", "heal", "hppotion", "armor", "weapon",
                                        "sellarmor", "sellweapon", "clan", "skill", "item"};
  std::string out;
  for (int i = 0; i < 5001; ++i) {
    const std::string role = kRoles[i % 10];
    std::string name;
    if (role == "battle") name = "Troll" + std::to_string(i);
    if (role == "clan") name = kClans[1 + i % 3];
    if (role == "skill") name = "fire";
    if (role == "item") name = "ruby";
    const std::string tag = role == "clan" ? "good" : role == "skill" ? "Red" : "";
    out += std::to_string(i % 50) + "," + std::to_string(5 + i % 10) + "," + std::to_string(20 + i % 40) + "," +
           std::to_string(10 + i % 30) + "," + std::to_string(30 + i % 100) + "," + name + "," + role + "," +
           std::to_string(3 + i % 8) + "," + std::to_string(100000 + i) + "," + tag + "," +
           std::to_string(role == "clan" ? 2 : 0) + "\r\n";
  }
  return out;
}

BenchFolder::BenchFolder() {
  const char* base = std::getenv("KELVA_BENCH_DIR");
  std::string pattern = std::string(base && *base ? base : ".") + "/kelva-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder for the benchmark files");
  path_ = std::filesystem::absolute(pattern).string();
}

BenchFolder::~BenchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void BenchFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream(file(name), std::ios::binary) << bytes;
}

Bot::Bot(FileSystem& files, const std::string& dataDir) : world([this](const std::string&) { ++transcriptLines; }) {
  held = std::make_unique<HeldOutputs>(world, console, console);
  form = std::make_unique<Form1>(*held, files, *held, *held, dataDir);
  router = std::make_unique<app::EventRouter>(*form, held.get());
  world.StartBot(1, "pw", "Bench", "kelvabot", "Bench", 0, 0, 0, 0, 0);
}

}  // namespace kelva::bench
