#include <gtest/gtest.h>

#include <utility>

#include "data/catalog_file.h"
#include "data/objects_file.h"
#include "data/stats_file.h"

namespace kelva {
namespace {

const char* const kAnn = "Ann,1,Human,none,10,10,10,10,15,15,0,0,5,0,0,0,0,!!0,0,0,0,,0,0,0,10,15,0,10,10";

TEST(StatsFile, TheLevelIsReadLenientlyRoundingHalvesToEven) {
  for (const auto& [text, level] : {std::pair{",7.5,", 8}, {",6.5x,", 6}}) {
    std::string line = kAnn;
    line.replace(line.find(",1,"), 3, text);
    auto r = parseStatsFile(line + "\r\n", "s");
    ASSERT_TRUE(r.isOk()) << text;
    EXPECT_EQ(r.value()[0].level, level) << text;
  }
}

TEST(StatsFile, LineEndsShortLinesAndOverlongFiles) {
  EXPECT_TRUE(parseStatsFile("", "s").value().empty());
  EXPECT_TRUE(parseStatsFile("x", "s").value().empty());
  EXPECT_EQ(parseStatsFile(std::string(kAnn) + "\n" + kAnn, "s").value().size(), 2u);
  EXPECT_EQ(parseStatsFile(std::string(kAnn) + "\r\n", "s").value().size(), 1u);
  EXPECT_FALSE(parseStatsFile("Ann,1,Human\r\n", "s").isOk());
  // An empty line after a good one has too few fields.
  EXPECT_FALSE(parseStatsFile(std::string(kAnn) + "\r\n\r\n", "s").isOk());
  std::string many;
  for (int i = 0; i < kRosterSize + 1; ++i) many += std::string(kAnn) + "\r\n";
  EXPECT_FALSE(parseStatsFile(many, "s").isOk());
  // A value beyond its width is refused too.
  std::string wide = kAnn;
  wide.replace(wide.find(",5,"), 3, ",2147483648,");
  EXPECT_FALSE(parseStatsFile(wide, "s").isOk());
}

TEST(CatalogFile, NameRunsToTheEndOfTheLineAndEmptySlotsAreSkipped) {
  auto catalog = std::make_unique<Catalog>();
  (*catalog)[0] = CatalogEntry{"Sword, sharp", 0, 1, 100, 0, 3, 5};
  (*catalog)[1] = CatalogEntry{};
  (*catalog)[2] = CatalogEntry{"Mail", 5, -1, 20, 1, 4, 0};
  const std::string bytes = formatCatalogFile(*catalog, 2);
  EXPECT_EQ(bytes, "0,100,1,0,3,5,Sword, sharp\r\n5,20,-1,1,4,0,Mail\r\n");
  auto loaded = parseCatalogFile(bytes, "c");
  ASSERT_TRUE(loaded.isOk());
  ASSERT_EQ(loaded.value().size(), 2u);
  EXPECT_EQ(loaded.value()[0], (*catalog)[0]);
  EXPECT_EQ(loaded.value()[1], (*catalog)[2]);
}

TEST(CatalogFile, ShortFilesAreEmptyAndBadLinesAreRefused) {
  EXPECT_TRUE(parseCatalogFile("\r\n", "c").value().empty());
  EXPECT_FALSE(parseCatalogFile("0,1,2,3,4\r\n", "c").isOk());
  EXPECT_FALSE(parseCatalogFile("0,x,2,0,4,5,N\r\n", "c").isOk());
  EXPECT_FALSE(parseCatalogFile("0,1,2,70000,4,5,N\r\n", "c").isOk());  // kind is 16-bit
  std::string many;
  for (int i = 0; i < kCatalogSize + 1; ++i) many += "0,1,1,0,1,1,N\r\n";
  EXPECT_FALSE(parseCatalogFile(many, "c").isOk());
}

TEST(ObjectsFile, WritesTheFieldsInFileOrderAndReadsOnlyWholeLines) {
  ObjectDefinition rat{"Rat", 20, 5, 3, 10, 15, "battle", 0, 1234, "", 0};
  EXPECT_EQ(objectLine(rat), "0,5,15,10,20,Rat,battle,3,1234,,0");
  auto loaded = parseObjectsFile(objectLine(rat) + "\r\n", "o");
  ASSERT_TRUE(loaded.isOk());
  EXPECT_EQ(loaded.value().at(0), rat);
  // An empty AC bonus is not a valid line.
  EXPECT_FALSE(parseObjectsFile("0,5,15,10,20,Rat,battle,3,1234,,\r\n", "o").isOk());
  EXPECT_FALSE(parseObjectsFile("0,5,15,10,20,Rat,battle,3\r\n", "o").isOk());
}

TEST(ObjectsFile, AnItemOrSkillNameHoldingABangIsAMalformedLine) {
  // A monster or a clan may carry one: only item and skill names reach the
  // players' lists.
  const std::string good = "0,5,15,10,20,Bang!,battle,3,1234,,0\r\n1,0,0,0,0,Red!,clan,0,1235,evil,0\r\n";
  ASSERT_TRUE(parseObjectsFile(good, "o").isOk());
  for (const char* bad : {"2,0,0,0,0,Elixir!Rare,item,0,1236,,0\r\n", "1,0,0,5,0,Fire!,skill,0,1236,none,0\r\n"}) {
    auto loaded = parseObjectsFile(good + bad, "o");
    ASSERT_FALSE(loaded.isOk()) << bad;
    EXPECT_NE(loaded.status().message().find("o line 3: name"), std::string::npos) << loaded.status().message();
  }
}

TEST(ObjectsFile, ObjectNumberZeroDisappearsAtTheNextSave) {
  auto defs = std::make_unique<ObjectDefinitions>();
  (*defs)[0] = ObjectDefinition{"", 0, 0, 0, 0, 0, "heal", 20, 0, "", 0};
  (*defs)[1] = ObjectDefinition{"", 0, 0, 0, 0, 0, "heal", 20, 7, "", 0};
  EXPECT_EQ(formatObjectsFile(*defs, 1), "20,0,0,0,0,,heal,0,7,,0\r\n");
}

}  // namespace
}  // namespace kelva
