#include "world/ports/web_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace kelva::world {
namespace {

namespace fs = std::filesystem;

class WebFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(base_ / "site" / "img");
    fs::create_directories(base_ / "three");
    for (const char* file : {"site/index.html", "site/kelva.js", "site/img/a b.png", "site/.hidden",
                             "three/three.min.js", "secret.txt"})
      folder_.write(file, "x");
  }
  std::string site(const char* name) const { return (base_ / "site" / name).string(); }

  kelva::testing::TempFolder folder_{"kelva_web_files"};
  const fs::path& base_ = folder_.path;
  WebRoots roots_{(base_ / "site").string(), (base_ / "three").string()};
};

TEST_F(WebFiles, ServesThePageItsFilesAndThreeJs) {
  EXPECT_EQ(webFileFor("/", roots_), site("index.html"));
  EXPECT_EQ(webFileFor("/index.html?v=2", roots_), site("index.html"));
  EXPECT_EQ(webFileFor("/kelva.js#top", roots_), site("kelva.js"));
  EXPECT_EQ(webFileFor("/img/a%20b.png", roots_), (base_ / "site" / "img" / "a b.png").string());
  EXPECT_EQ(webFileFor("/three/three.min.js", roots_), (base_ / "three" / "three.min.js").string());
}

// Nothing outside the two folders, in any spelling; no folder listings.
TEST_F(WebFiles, RefusesEscapesFoldersAndStrangePaths) {
  for (const char* target :
       {"/../secret.txt", "/img/../../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/.%2e/secret.txt",
        "/img/..%2f..%2fsecret.txt", "/..%5csecret.txt", "/three/../secret.txt", "/three/%2e%2e/secret.txt",
        "/img", "/img/", "/three/", "/three", "/.hidden", "//etc/passwd", "/index.html%00.png", "/%zz", "/%2",
        "index.html", "", "/nothing.html", "/kelva.js/"}) {
    EXPECT_EQ(webFileFor(target, roots_), std::nullopt) << target;
  }
  // Decoded once only: "%252e%252e" names a file called "%2e%2e", not "..".
  EXPECT_EQ(webFileFor("/%252e%252e/secret.txt", roots_), std::nullopt);
}

// A link planted in the page's folder is followed only while it stays inside:
// to a file or a folder outside, it is 404 like the file itself.
TEST_F(WebFiles, FollowsLinksOnlyInsideTheirFolder) {
  fs::create_symlink(base_ / "secret.txt", base_ / "site" / "leak.txt");
  fs::create_directory_symlink(base_, base_ / "site" / "up");
  fs::create_symlink("kelva.js", base_ / "site" / "same.js");
  fs::create_symlink("../site/kelva.js", base_ / "three" / "cross.js");
  EXPECT_EQ(webFileFor("/leak.txt", roots_), std::nullopt);
  EXPECT_EQ(webFileFor("/up/secret.txt", roots_), std::nullopt);
  EXPECT_EQ(webFileFor("/three/cross.js", roots_), std::nullopt);
  EXPECT_EQ(webFileFor("/same.js", roots_), site("same.js"));
}

// The page's own types are checked through the web port; here, that the type
// follows the file's own extension and an unknown one is served as bytes.
TEST(WebContentType, FollowsTheFilesOwnExtension) {
  EXPECT_EQ(webContentType("three.min.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(webContentType("a.b/README"), "application/octet-stream");
}

}  // namespace
}  // namespace kelva::world
