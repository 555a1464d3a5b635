// The chat dispatcher on any line, from anyone, in any state of the game.
//
// The input first builds a game: characters with any values, catalogue
// entries, object definitions, battles in progress (some with sessions or
// roster places that no longer fit), administrators. Then it plays a run of
// events: chat lines (the game's commands with any arguments, or any bytes),
// battle ticks, clicks on objects and on avatars. Nothing may crash, and
// every data file the game saves must load again whole: no input loses data.
#include <algorithm>
#include <memory>

#include "fuzz/data_files.h"
#include "state/form1.h"
#include "support/game_fixture.h"

namespace kelva::fuzz {
namespace {

const char* const kNames[] = {"Ann", "Bob", "Cid", "Boss", "ann", "", "Dee Dee"};
const char* const kItems[] = {"", "hppotion", "scan", "hppotion,scan", "scan,hppotion,scan", "HpPotion", "ruby"};
const char* const kSkills[] = {"", "fire", "steal", "behead,slicendice", "terminate,healing plants,ancient magic",
                               "ranger magic,blinding flash,fire cracker,bomb mask,hand grenade,bombachu launching"};
const char* const kClans[] = {"none", "Red", "Blue"};
const char* const kRoles[] = {"battle", "heal", "hppotion", "armor", "weapon", "sellarmor",
                              "sellweapon", "clan", "skill", "item", "Battle", ""};
const char* const kCommands[] = {
    "reload", "/equipment", "/stats", "/aheal", "/drink hppotion", "/object number", "/admin commands", "/pvp",
    "/home", "/run", "/reset", "/abandon clan", "/skills", "/steal", "/behead", "/slicendice", "/terminate",
    "/healing plants", "/ancient magic", "/ranger magic", "/blinding flash", "/fire cracker", "/bomb mask",
    "/hand grenade", "/bombachu launching", "/commands", "/use scan ", "/amount ", "armorid ", "weaponid ",
    "bmessage: ", "arweadd", "objadd", "ARWEADD ", "OBJADD ", "/STATS"};
const char* const kArguments[] = {"",
                                  "Ann",
                                  "hppotion",
                                  "1",
                                  "-1",
                                  "2.5",
                                  "x",
                                  " 0,1,2,0,1,1,Axe",
                                  " battle,50,3,8,Troll,20,40,7",
                                  " clan,Red,1,2,10,10,10,good,10,10,5",
                                  " skill,fire,3,100,Red,6",
                                  " item,ruby,5,4",
                                  " heal,5,2",
                                  " hppotion,5,3",
                                  " armor,1,4",
                                  " weapon,1,5",
                                  " sellarmor,6",
                                  " battle,,,,,,,",
                                  "99999999999",
                                  ",,,,,,,,,,,,"};

// A text that the game's files can hold: the fuzzer's bytes without the
// separators and line ends, which arrivals and the file formats rule out.
std::string storable(std::string s, std::string_view banned) {
  std::erase_if(s, [banned](char c) { return banned.find(c) != std::string_view::npos || c == '\r' || c == '\n'; });
  return s;
}

std::string name(FuzzInput& in) { return in.below(8) == 0 ? storable(in.text(6), ",!") : in.pick(kNames); }

void buildGame(testing::GameFixture& g, FuzzInput& in) {
  Form1& form = *g.form;
  form.rng.seed(in.number());
  const std::size_t players = in.below(6);
  for (std::size_t i = 0; i < players; ++i) {
    auto p = g.givenPlayer(name(in));
    PlayerRecord& r = p.record();
    if (in.flag()) {
      r.hp = in.number();
      r.maxHp = in.number();
      r.gold = in.number();
      r.exp = in.number();
      r.level = in.number();
      r.strength = in.number();
      r.speed = in.number();
      r.ac = in.number();
      r.mp = in.number();
      r.maxMp = in.number();
      r.charisma = in.number();
      r.weaponId = static_cast<int16_t>(in.number());
      r.armorId = static_cast<int16_t>(in.number());
      r.clanMaxHpBonus = static_cast<int16_t>(in.number());
      r.clanStrengthBonus = static_cast<int16_t>(in.number());
    }
    r.items = in.pick(kItems);
    r.skills = in.pick(kSkills);
    r.clan = in.pick(kClans);
    r.pvpEnabled = in.flag();
  }
  for (std::size_t i = in.below(4); i > 0; --i) {
    g.givenCatalogEntry({in.flag() ? "Sword" : "", in.number(), in.number(), in.number(),
                         static_cast<int16_t>(in.below(3)), in.number() % 8, in.number()});
  }
  for (std::size_t i = in.below(7); i > 0; --i) {
    ObjectDefinition d;
    d.role = in.pick(kRoles);
    d.name = in.flag() ? in.pick(kClans) : "Troll";
    d.stat1 = in.number();
    d.stat2 = in.number();
    d.stat3 = in.number();
    d.stat4 = in.number();
    d.stat5 = in.number();
    d.param = in.number();
    d.objectNumber = static_cast<int32_t>(in.below(9));
    d.tag = in.flag() ? "good" : "Red";
    d.acBonus = static_cast<int16_t>(in.number());
    g.givenObject(d);
  }
  for (std::size_t i = in.below(5); i > 0; --i) {
    BattleSlot& s = form.battles[in.below(kBattleSlots)];
    s.kind = in.flag() ? "battle" : "pvp";
    s.name1 = name(in);
    s.name2 = name(in);
    s.session1 = in.flag() ? std::to_string(in.number()) : storable(in.text(4), "");
    s.session2 = std::to_string(in.number());
    s.ehp = in.number();
    s.edex = in.number();
    s.estr = in.number();
    s.ename = "Troll";
    s.egp = in.number();
    s.eexp = in.number();
    s.ploc1 = static_cast<int16_t>(in.number());
    s.ploc2 = static_cast<int16_t>(in.below(8));
    s.turn = static_cast<int16_t>(in.below(2));
  }
  for (std::size_t i = in.below(3); i > 0; --i) g.givenAdmin(name(in));
}

// Every file the game saved loads again whole.
void checkSavedFiles(testing::GameFixture& g) {
  checkSavedFilesLoad(g.files.files);
  const Form1& form = *g.form;
  if (form.playerCount < 0 || form.playerCount > kRosterSize) broken("playerCount out of the roster");
  if (form.lastCatalogIndex >= kCatalogSize) broken("lastCatalogIndex out of the catalogue");
  if (form.lastObjectIndex >= kObjectDefinitionsSize) broken("lastObjectIndex out of the table");
}

// Puts the game back as a new Form1 starts, so that one fixture serves every
// input (building a Form1, with its 100000 shroom slots, would take most of
// the fuzzer's time). Each input is then a whole test of its own and a crash
// replays from its input alone.
void resetGame(testing::GameFixture& g) {
  Form1& f = *g.form;
  std::fill(f.roster.begin(), f.roster.end(), PlayerRecord{});
  f.playerCount = 0;
  f.statsCache = StatsFileCache{};
  std::fill(f.catalog.begin(), f.catalog.end(), CatalogEntry{});
  f.lastCatalogIndex = -1;
  std::fill(f.objectDefinitions.begin(), f.objectDefinitions.end(), ObjectDefinition{});
  f.lastObjectIndex = -1;
  std::fill(f.battles.begin(), f.battles.end(), BattleSlot{});
  f.rng = Rng{};
  std::fill(f.objectNumberWatchers.begin(), f.objectNumberWatchers.end(), std::string());
  // Only the slots up to lastShroomIndex are ever written.
  for (int i = 0; i <= f.lastShroomIndex; ++i) f.shroomCache[static_cast<std::size_t>(i)] = ShroomEntry{};
  f.lastShroomIndex = -1;
  f.shroomCacheFullReported = false;
  f.cellSequence = {};
  f.homeSectorX = 0;
  f.homeSectorZ = 0;
  f.timawwaitEnabled = false;
  f.regrowTicks = 0;
  f.backupTicks = 0;
  std::fill(f.console.Text1.begin(), f.console.Text1.end(), std::string());
  f.console.Combo1.clear();
  f.console.Combo1Text = "Select Name";
  f.console.Combo1Selected.reset();
  f.console.Text2.clear();
  f.console.Text3.clear();
  f.console.List1.clear();
  g.world.calls.clear();
  g.world.pending.clear();
  g.files.files.clear();
  g.files.failWrite = nullptr;
  g.view.lines.clear();
}

}  // namespace
}  // namespace kelva::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  fuzz::FuzzInput in(data, size);
  static testing::GameFixture& g = *new testing::GameFixture;  // lives for the whole run
  fuzz::resetGame(g);
  fuzz::buildGame(g, in);
  const bool admin = in.flag();
  int events = 0;
  while (!in.empty() && events++ < 64) {
    const std::string speaker = admin && in.flag() ? g.form->console.Text1[0] : fuzz::name(in);
    const int32_t session = static_cast<int32_t>(in.below(4));
    switch (in.below(10)) {
      case 0:
        g.router->timer1Tick();
        break;
      case 1:
        g.clickObject(speaker, session, static_cast<int32_t>(in.below(9)));
        break;
      case 2:
        g.clickAvatar(speaker, session, fuzz::name(in), static_cast<int32_t>(in.below(4)));
        break;
      case 3:
        g.chat(speaker, session, std::string(in.text(40)));
        break;
      default: {
        std::string line = in.pick(fuzz::kCommands);
        line += in.flag() ? std::string(in.pick(fuzz::kArguments)) : in.text(24);
        g.chat(speaker, session, line);
      }
    }
    g.world.calls.clear();
    fuzz::checkSavedFiles(g);
  }
  return 0;
}
