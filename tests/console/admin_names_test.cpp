#include "console/admin_names.h"

#include <gtest/gtest.h>

#include "support/game_fixture.h"

namespace kelva::testing {
namespace {

using console::loadAdminNames;
using console::setAdminName;

constexpr const char* kPath = "/data/administrators.txt";

TEST(AdminNames, NamesTypedIntoTheBoxesComeBackInAFreshForm) {
  GameFixture first;
  ASSERT_TRUE(setAdminName(*first.form, 0, "Kaya").isOk());
  ASSERT_TRUE(setAdminName(*first.form, 6, "\"mira\"").isOk());
  EXPECT_EQ(first.files.files[kPath], "Kaya\n\n\n\n\n\n\"mira\"\n");

  GameFixture second;
  second.files.files[kPath] = first.files.files[kPath];
  ASSERT_TRUE(loadAdminNames(*second.form).isOk());
  EXPECT_EQ(second.form->console.Text1, (std::array<std::string, 7>{"Kaya", "", "", "", "", "", "\"mira\""}));
}

TEST(AdminNames, NoFileLeavesTheBoxesEmptyAndSavable) {
  GameFixture g;
  ASSERT_TRUE(loadAdminNames(*g.form).isOk());
  EXPECT_EQ(g.form->console.Text1, (std::array<std::string, 7>{}));
  EXPECT_TRUE(setAdminName(*g.form, 3, "Bob").isOk());
}

TEST(AdminNames, SevenLinesLoadAndAnEighthIsRefusedWithoutLosingTheFile) {
  GameFixture g;
  g.files.files[kPath] = "a\nb\nc\nd\ne\nf\ng";  // the last line without its line break
  ASSERT_TRUE(loadAdminNames(*g.form).isOk());
  EXPECT_EQ(g.form->console.Text1[6], "g");

  GameFixture bad;
  const std::string eight = "a\r\nb\nc\nd\ne\nf\ng\nh\n";
  bad.files.files[kPath] = eight;
  const Status loaded = loadAdminNames(*bad.form);
  ASSERT_FALSE(loaded.isOk());
  EXPECT_NE(loaded.message().find("line 8"), std::string::npos) << loaded.message();
  EXPECT_EQ(bad.form->console.Text1, (std::array<std::string, 7>{}));
  // The box takes the name for the game, but the file the operator must fix stays as it was.
  EXPECT_FALSE(setAdminName(*bad.form, 0, "Kaya").isOk());
  EXPECT_EQ(bad.form->console.Text1[0], "Kaya");
  EXPECT_EQ(bad.files.files[kPath], eight);
}

TEST(AdminNames, ABadNameOrBoxIsRefusedAndAFailedWriteIsReported) {
  GameFixture g;
  EXPECT_FALSE(setAdminName(*g.form, 7, "Kaya").isOk());
  EXPECT_FALSE(setAdminName(*g.form, 1, "Ka\nya").isOk());
  EXPECT_EQ(g.form->console.Text1[1], "");
  EXPECT_EQ(g.files.files.count(kPath), 0u);

  g.files.failWrite = [](const std::string&) { return true; };
  EXPECT_FALSE(setAdminName(*g.form, 1, "Kaya").isOk());
  EXPECT_EQ(g.files.files.count(kPath), 0u);
}

}  // namespace
}  // namespace kelva::testing
