#include "world/ports/web_message.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include <nlohmann/json.hpp>

namespace kelva::world {
namespace {

TEST(WebMessage, ReadsEachTypeWithItsFields) {
  Result<WebRequest> guest = parseWebMessage(R"({"type":"login","name":"mira"})");
  ASSERT_TRUE(guest.isOk());
  EXPECT_EQ(guest.value().kind, WebRequest::Kind::kLogin);
  EXPECT_EQ(guest.value().name, "mira");
  EXPECT_FALSE(guest.value().password.has_value());

  Result<WebRequest> kaya = parseWebMessage(R"({"password":"","type":"login","name":"Kaya"})");
  ASSERT_TRUE(kaya.isOk());
  ASSERT_TRUE(kaya.value().password.has_value());
  EXPECT_EQ(*kaya.value().password, "");

  Result<WebRequest> tell = parseWebMessage(R"({"type":"tell","to":"Kelvabot","text":"bmessage: hi \u00e9"})");
  ASSERT_TRUE(tell.isOk());
  EXPECT_EQ(tell.value().name, "Kelvabot");
  EXPECT_EQ(tell.value().text, "bmessage: hi \xc3\xa9");

  EXPECT_TRUE(parseWebMessage(R"({"type":"quit"})").isOk());
  EXPECT_EQ(parseWebMessage(R"({"type":"attack","name":"\"mira\""})").value().name, "\"mira\"");
}

// Whatever is wrong with a message, it is refused whole with a reason.
TEST(WebMessage, RefusesAnythingHalfUnderstood) {
  const char* bad[] = {
      "",
      "{",
      "[1,2]",
      "\"chat\"",
      R"({"text":"hi"})",
      R"({"type":7})",
      R"({"type":"jump"})",
      R"({"type":"Chat","text":"hi"})",
      R"({"type":"chat"})",
      R"({"type":"chat","text":5})",
      R"({"type":"chat","text":"hi","extra":1})",
      R"({"type":"login","name":"Kaya","password":null})",
      R"({"type":"move","x":0})",
      R"({"type":"quit","now":true})",
      "{\"type\":\"chat\",\"text\":\"\xff\"}",
  };
  for (const char* message : bad) {
    Result<WebRequest> r = parseWebMessage(message);
    ASSERT_FALSE(r.isOk()) << message;
    EXPECT_FALSE(r.status().message().empty()) << message;
  }
  std::string huge = R"({"type":"chat","text":")" + std::string(kMaxWebMessage, 'a') + "\"}";
  EXPECT_FALSE(parseWebMessage(huge).isOk());
}

// Every number a page sends is a whole 32-bit value: each limit is taken,
// one past it is refused, and so is anything that only looks like a number.
TEST(WebMessage, NumbersAreWhole32BitValuesInEveryField) {
  struct Case {
    const char* number;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {"0", 0},
      {"1001", 1001},
      {"-2147483648", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"18446744073709551615", std::nullopt},
      {"1.5", std::nullopt},
      {"1e3", std::nullopt},
      {"1e999", std::nullopt},
      {"\"7\"", std::nullopt},
      {"null", std::nullopt},
      {"true", std::nullopt},
  };
  struct Field {
    std::string before, after;
    int32_t WebRequest::*read;
  };
  const Field fields[] = {
      {R"({"type":"click","object":)", "}", &WebRequest::number},
      {R"({"type":"move","x":)", R"(,"z":0})", &WebRequest::x},
      {R"({"type":"move","x":0,"z":)", "}", &WebRequest::z},
  };
  for (const Field& f : fields) {
    for (const Case& c : cases) {
      const std::string message = f.before + c.number + f.after;
      Result<WebRequest> r = parseWebMessage(message);
      ASSERT_EQ(r.isOk(), c.value.has_value()) << message;
      if (c.value) {
        EXPECT_EQ(r.value().*f.read, *c.value) << message;
      }
    }
  }
}

// What the world sends is JSON that says what it carries, even for texts
// that are not UTF-8 (each bad byte becomes U+FFFD).
TEST(WebMessage, WorldMessagesAreJsonWithTheirType) {
  nlohmann::json avatar = nlohmann::json::parse(web::avatar(3, "\"mira\"", false, -5, 0, 7));
  EXPECT_EQ(avatar["type"], "avatar");
  EXPECT_EQ(avatar["bot"], false);

  nlohmann::json chat = nlohmann::json::parse(web::chat(2, "Ann", "caf\xe9"));
  EXPECT_EQ(chat["text"], "caf\xef\xbf\xbd");
  EXPECT_EQ(nlohmann::json::parse(web::echo("hi"))["to"].is_null(), true);
  EXPECT_EQ(nlohmann::json::parse(web::echo("hi", "Kelvabot"))["to"], "Kelvabot");
}

}  // namespace
}  // namespace kelva::world
