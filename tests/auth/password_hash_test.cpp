#include "auth/password_hash.h"

#include <gtest/gtest.h>

namespace kelva::auth {
namespace {

TEST(PasswordHash, TheRightPasswordVerifiesAndNoOtherDoes) {
  auto stored = hashPassword("correct horse", HashCost::kMinimum);
  ASSERT_TRUE(stored.isOk());
  EXPECT_EQ(stored.value().rfind("$argon2id$", 0), 0u) << stored.value();
  EXPECT_EQ(stored.value().find("correct"), std::string::npos);
  EXPECT_TRUE(verifyPassword(stored.value(), "correct horse"));
  EXPECT_FALSE(verifyPassword(stored.value(), "correct hors"));
  EXPECT_FALSE(verifyPassword(stored.value(), "correct horse "));
  EXPECT_FALSE(verifyPassword(stored.value(), ""));
}

TEST(PasswordHash, ATextThatIsNoHashNeverVerifies) {
  EXPECT_FALSE(verifyPassword("", ""));
  EXPECT_FALSE(verifyPassword("secret", "secret"));
  EXPECT_FALSE(verifyPassword(std::string(200, '$'), ""));
}

TEST(PasswordHash, TokensAreRandomHexAndCompareWhole) {
  const std::string a = randomToken(16);
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(randomToken(16), a);
  EXPECT_TRUE(sameToken(a, std::string(a)));
  EXPECT_FALSE(sameToken(a, a.substr(0, 31)));
  EXPECT_FALSE(sameToken("", ""));
  std::string b = a;
  b.back() = b.back() == '0' ? '1' : '0';
  EXPECT_FALSE(sameToken(a, b));
}

}  // namespace
}  // namespace kelva::auth
