#include "net/bot_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace kelva::net {
namespace {

class RecordingSdk : public WorldSdk {
 public:
  void Init(int32_t) override {}
  int32_t StartBot(int32_t, const std::string&, const std::string&, const std::string&, const std::string&, int32_t,
                   int32_t, int32_t, int32_t, int32_t) override {
    return 0;
  }
  int32_t SectorFromCell(int32_t) override { return 0; }
  void Query(int32_t, int32_t, CellSequenceTable&) override {}
  void Wait(int32_t) override {}
  void Say(const std::string&) override {}
  void Whisper(int32_t, const std::string&) override {}
  void Teleport(int32_t) override {}
  void ObjectChange() override {}
  void EventOff(int32_t) override {}
  void EventOn(int32_t) override {}
  void Destroy() override {}
  void Term() override {}
};

BotCall roundTrip(const BotCall& call) {
  Result<BotCall> parsed = parseBotLine(encodeCall(call));
  EXPECT_TRUE(parsed.isOk()) << parsed.status().message();
  return parsed.isOk() ? parsed.value() : BotCall{};
}

TEST(BotProtocol, EveryCallTravelsWithAllItsArguments) {
  BotCall start;
  start.kind = CallKind::kStartBot;
  start.id = 7;
  start.citizen = 1234;
  start.password = "p w,\"";
  start.botName = "Kelva bot";
  start.application = "Kelvabot";
  start.world = "Demo";
  start.x = -1500;
  start.y = 7;
  start.z = 2500;
  start.reserved1 = 0;
  start.reserved2 = 251;
  EXPECT_EQ(roundTrip(start), start);

  BotCall query;
  query.kind = CallKind::kQuery;
  query.sectorX = -1;
  query.sectorZ = 2;
  query.sequence = {1, 2, 3, 4, 5, 6, 7, 8, INT32_MAX};
  EXPECT_EQ(roundTrip(query), query);

  BotCall teleport;
  teleport.kind = CallKind::kTeleport;
  teleport.value = 9;
  teleport.teleportX = -32768;
  teleport.teleportY = 100;
  teleport.teleportZ = 32767;
  teleport.teleportWarp = true;
  EXPECT_EQ(roundTrip(teleport), teleport);

  BotCall change;
  change.kind = CallKind::kObjectChange;
  change.oldNumber = 42;
  change.oldX = 1;
  change.oldZ = -2;
  change.object = {1, 2, -2, -90, 77, "shroom1e.rwx", "A shroom", "create solid no,visible no"};
  EXPECT_EQ(roundTrip(change), change);

  for (CallKind kind : {CallKind::kInit, CallKind::kWait, CallKind::kEventOff, CallKind::kEventOn}) {
    BotCall c;
    c.kind = kind;
    c.value = 17;
    EXPECT_EQ(roundTrip(c), c) << callName(kind);
  }
  BotCall whisper;
  whisper.kind = CallKind::kWhisper;
  whisper.value = 3;
  whisper.text = "You are battling Troll(20HP) \xc3\xa9";
  EXPECT_EQ(roundTrip(whisper), whisper);
  for (CallKind kind : {CallKind::kDestroy, CallKind::kTerm}) {
    BotCall c;
    c.kind = kind;
    EXPECT_EQ(roundTrip(c), c);
  }
}

TEST(BotProtocol, MalformedCallsAreRefusedWithAReason) {
  const char* bad[] = {
      "",
      "not json",
      "[1,2]",
      R"({"text":"no call name"})",
      R"({"call":"Fly"})",
      R"({"call":"Whisper","session":3})",                                   // text missing
      R"({"call":"Whisper","session":"3","text":"x"})",                      // session not a number
      R"({"call":"Whisper","session":3.5,"text":"x"})",                      // not whole
      R"({"call":"Whisper","session":2147483648,"text":"x"})",               // past a long
      R"({"call":"Whisper","session":3,"text":"x","volume":11})",            // unknown field
      R"({"call":"Query","sectorX":0,"sectorZ":0,"sequence":[0,0,0]})",      // not nine
      R"({"call":"Teleport","session":1,"TeleportX":40000,"TeleportY":0,"TeleportZ":0,"TeleportWarp":false})",
      R"({"call":"Teleport","session":1,"TeleportX":0,"TeleportY":0,"TeleportZ":0,"TeleportWarp":1})",
  };
  for (const char* line : bad) {
    Result<BotCall> r = parseBotLine(line);
    EXPECT_FALSE(r.isOk()) << line;
    if (!r.isOk()) {
      EXPECT_NE(r.status().message(), "") << line;
    }
  }
}

TEST(BotProtocol, EventSetsExactlyTheAttributesItCarries) {
  WorldEvent click;
  click.kind = EventKind::kAvatarClick;
  click.set("AvatarName", "\"ann\"").set("AvatarSession", 4).set("ClickedName", "Bob").set("ClickedSession", 9);
  Result<WorldMessage> parsed = parseWorldLine(encodeEvent(click));
  ASSERT_TRUE(parsed.isOk()) << parsed.status().message();
  const WorldEvent& got = std::get<WorldEvent>(parsed.value());
  EXPECT_EQ(got, click);

  RecordingSdk sdk;
  sdk.ChatMessage = "left alone";
  applyAttributes(got, sdk);
  EXPECT_EQ(sdk.AvatarName, "\"ann\"");
  EXPECT_EQ(sdk.AvatarSession, 4);
  EXPECT_EQ(sdk.ClickedName, "Bob");
  EXPECT_EQ(sdk.ClickedSession, 9);
  EXPECT_EQ(sdk.ChatMessage, "left alone");
}

TEST(BotProtocol, ObjectAddCarriesCellAndObjectAttributesWithTheirWidths) {
  Result<WorldMessage> parsed = parseWorldLine(
      R"({"event":"object-add","CellX":-1,"CellZ":2,"CellSequence":5,"ObjectNumber":8,"ObjectX":-500,)"
      R"("ObjectY":0,"ObjectZ":2500,"ObjectYaw":-900,"ObjectModel":"shroom.rwx","ObjectDescription":"",)"
      R"("ObjectAction":"","ObjectOwner":3})");
  ASSERT_TRUE(parsed.isOk()) << parsed.status().message();
  RecordingSdk sdk;
  applyAttributes(std::get<WorldEvent>(parsed.value()), sdk);
  EXPECT_EQ(sdk.CellX, -1);
  EXPECT_EQ(sdk.CellSequence, 5);
  EXPECT_EQ(sdk.ObjectYaw, -900);
  EXPECT_EQ(sdk.ObjectModel, "shroom.rwx");
  EXPECT_EQ(sdk.ObjectOwner, 3);

  // The yaw is a 16-bit integer.
  EXPECT_FALSE(parseWorldLine(R"({"event":"cell-object","ObjectNumber":8,"ObjectX":0,"ObjectY":0,"ObjectZ":0,)"
                              R"("ObjectYaw":40000,"ObjectModel":"m","ObjectDescription":"","ObjectAction":"",)"
                              R"("ObjectOwner":0})")
                   .isOk());
}

TEST(BotProtocol, EventsMissingWhatTheirHandlerReadsAreMalformed) {
  EXPECT_FALSE(parseWorldLine(R"({"event":"chat","AvatarName":"Ann","ChatSession":3})").isOk());
  EXPECT_FALSE(parseWorldLine(R"({"event":"query-complete"})").isOk());
  EXPECT_FALSE(parseWorldLine(R"({"event":"chat","AvatarName":"Ann","ChatSession":3,"ChatMessage":"x","Mood":1})")
                   .isOk());
  EXPECT_FALSE(parseWorldLine(R"({"event":"teleported"})").isOk());
  EXPECT_TRUE(parseWorldLine(R"({"event":"query-complete","QueryComplete":false})").isOk());
}

TEST(BotProtocol, RepliesAndNoticesAreTold) {
  Result<WorldMessage> r = parseWorldLine(encodeReply({CallKind::kStartBot, 5, 1, 0}));
  ASSERT_TRUE(r.isOk());
  EXPECT_EQ(std::get<Reply>(r.value()), (Reply{CallKind::kStartBot, 5, 1, 0}));
  r = parseWorldLine(encodeReply({CallKind::kSectorFromCell, 6, -1, 0}));
  ASSERT_TRUE(r.isOk());
  EXPECT_EQ(std::get<Reply>(r.value()).value, -1);
  r = parseWorldLine(encodeNotice({"no object 4"}));
  ASSERT_TRUE(r.isOk());
  EXPECT_EQ(std::get<Notice>(r.value()).message, "no object 4");
  EXPECT_FALSE(parseWorldLine(R"({"reply":"Say","id":1})").isOk());
}

TEST(BotProtocol, EventNumbersKeepObjectClickAtSeventeen) {
  EXPECT_EQ(eventByNumber(17), EventKind::kObjectClick);
  EXPECT_EQ(eventByNumber(0), std::nullopt);
  for (EventKind kind : kAllEvents) {
    EXPECT_EQ(eventByName(eventName(kind)), kind);
    EXPECT_EQ(eventByNumber(static_cast<int32_t>(kind)), kind);
  }
}

TEST(BotProtocol, TextThatIsNotUtf8IsStillSentAsValidJson) {
  BotCall say;
  say.kind = CallKind::kSay;
  say.text = "caf\xe9!";
  Result<BotCall> parsed = parseBotLine(encodeCall(say));
  ASSERT_TRUE(parsed.isOk()) << parsed.status().message();
  EXPECT_EQ(parsed.value().text, "caf\xef\xbf\xbd!");
}

}  // namespace
}  // namespace kelva::net
