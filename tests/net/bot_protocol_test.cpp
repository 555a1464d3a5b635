#include "net/bot_protocol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "net/net_world_sdk.h"

namespace kelva::net {
namespace {

TEST(BotProtocol, EveryCallTravelsWithAllItsArguments) {
  auto make = [](CallKind kind, const std::function<void(BotCall&)>& fill = [](BotCall&) {}) {
    BotCall c;
    c.kind = kind;
    fill(c);
    return c;
  };
  const BotCall calls[] = {
      make(CallKind::kStartBot,
           [](BotCall& c) {
             c.id = 7;
             c.citizen = 1234;
             c.password = "p w,\"";
             c.botName = "Kelva bot";
             c.application = "Kelvabot";
             c.world = "Demo";
             c.x = -1500;
             c.y = 7;
             c.z = 2500;
             c.reserved2 = 251;
           }),
      make(CallKind::kQuery,
           [](BotCall& c) {
             c.sectorX = -1;
             c.sectorZ = 2;
             c.sequence = {1, 2, 3, 4, 5, 6, 7, 8, INT32_MAX};
           }),
      make(CallKind::kTeleport,
           [](BotCall& c) {
             c.value = 9;
             c.teleportX = -32768;
             c.teleportY = 100;
             c.teleportZ = 32767;
             c.teleportWarp = true;
           }),
      make(CallKind::kObjectChange,
           [](BotCall& c) {
             c.oldNumber = 42;
             c.oldX = 1;
             c.oldZ = -2;
             c.object = {1, 2, -2, -90, 77, "shroom1e.rwx", "A shroom", "create solid no,visible no"};
           }),
      make(CallKind::kWhisper,
           [](BotCall& c) {
             c.value = 3;
             c.text = "You are battling Troll(20HP) \xc3\xa9";
           }),
      make(CallKind::kSectorFromCell,
           [](BotCall& c) {
             c.id = INT64_MAX;
             c.value = -9;
           }),
      make(CallKind::kInit, [](BotCall& c) { c.value = 17; }),
      make(CallKind::kWait, [](BotCall& c) { c.value = 17; }),
      make(CallKind::kEventOff, [](BotCall& c) { c.value = 17; }),
      make(CallKind::kEventOn, [](BotCall& c) { c.value = 17; }),
      make(CallKind::kDestroy),
      make(CallKind::kTerm),
  };
  for (const BotCall& call : calls) {
    Result<BotCall> parsed = parseBotLine(encodeCall(call));
    ASSERT_TRUE(parsed.isOk()) << callName(call.kind) << ": " << parsed.status().message();
    EXPECT_EQ(parsed.value(), call) << callName(call.kind);
  }
  // Text that is not UTF-8 is still sent as valid JSON.
  Result<BotCall> say = parseBotLine(encodeCall(make(CallKind::kSay, [](BotCall& c) { c.text = "caf\xe9!"; })));
  ASSERT_TRUE(say.isOk()) << say.status().message();
  EXPECT_EQ(say.value().text, "caf\xef\xbf\xbd!");
}

// The fields of Teleport and ObjectChange are the SDK attributes of the same
// name, taken as they stand when the call is made.
TEST(BotProtocol, TeleportAndObjectChangeTakeTheSdkAttributesOfTheirName) {
  NetWorldSdk sdk{NetOptions{}};  // never logs in: it only holds the attributes
  sdk.TeleportX = -5;
  sdk.TeleportY = 6;
  sdk.TeleportZ = 7;
  sdk.TeleportWarp = true;
  sdk.ObjectOldNumber = 42;
  sdk.ObjectOldX = 1;
  sdk.ObjectOldZ = -2;
  sdk.ObjectX = 10;
  sdk.ObjectY = 20;
  sdk.ObjectZ = 30;
  sdk.ObjectYaw = -90;
  sdk.ObjectOwner = 77;
  sdk.ObjectModel = "shroom1e.rwx";
  sdk.ObjectDescription = "A shroom";
  sdk.ObjectAction = "create solid no";
  sdk.ObjectNumber = 99;  // not part of the call

  BotCall teleport;
  teleport.kind = CallKind::kTeleport;
  teleport.value = 3;
  takeAttributes(teleport, sdk);
  EXPECT_EQ(encodeCall(teleport),
            R"({"call":"Teleport","session":3,"TeleportX":-5,"TeleportY":6,"TeleportZ":7,"TeleportWarp":true})");

  BotCall change;
  change.kind = CallKind::kObjectChange;
  takeAttributes(change, sdk);
  EXPECT_EQ(encodeCall(change),
            R"({"call":"ObjectChange","ObjectOldNumber":42,"ObjectOldX":1,"ObjectOldZ":-2,"ObjectX":10,)"
            R"("ObjectY":20,"ObjectZ":30,"ObjectYaw":-90,"ObjectOwner":77,"ObjectModel":"shroom1e.rwx",)"
            R"("ObjectDescription":"A shroom","ObjectAction":"create solid no"})");
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
    ASSERT_FALSE(r.isOk()) << line;
    EXPECT_NE(r.status().message(), "") << line;
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

  NetWorldSdk sdk{NetOptions{}};  // never logs in: it only holds the attributes
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
  NetWorldSdk sdk{NetOptions{}};
  applyAttributes(std::get<WorldEvent>(parsed.value()), sdk);
  EXPECT_EQ(sdk.CellX, -1);
  EXPECT_EQ(sdk.CellSequence, 5);
  EXPECT_EQ(sdk.ObjectYaw, -900);
  EXPECT_EQ(sdk.ObjectModel, "shroom.rwx");
  EXPECT_EQ(sdk.ObjectOwner, 3);
}

// A world line missing what its handler reads, or carrying more, or a value
// past its width, is malformed as a whole.
TEST(BotProtocol, WorldLinesWithMissingExtraOrOutOfRangeAttributesAreMalformed) {
  const char* bad[] = {
      R"({"event":"chat","AvatarName":"Ann","ChatSession":3})",
      R"({"event":"query-complete"})",
      R"({"event":"chat","AvatarName":"Ann","ChatSession":3,"ChatMessage":"x","Mood":1})",
      R"({"event":"teleported"})",
      R"({"reply":"Say","id":1})",
      // The yaw is a 16-bit integer.
      R"({"event":"cell-object","ObjectNumber":8,"ObjectX":0,"ObjectY":0,"ObjectZ":0,"ObjectYaw":40000,)"
      R"("ObjectModel":"m","ObjectDescription":"","ObjectAction":"","ObjectOwner":0})",
  };
  for (const char* line : bad) EXPECT_FALSE(parseWorldLine(line).isOk()) << line;
  EXPECT_TRUE(parseWorldLine(R"({"event":"query-complete","QueryComplete":false})").isOk());
}

TEST(BotProtocol, RepliesNoticesAndEventNumbersAreTold) {
  Result<WorldMessage> r = parseWorldLine(encodeReply({CallKind::kSectorFromCell, 6, -1, 0}));
  ASSERT_TRUE(r.isOk());
  EXPECT_EQ(std::get<Reply>(r.value()), (Reply{CallKind::kSectorFromCell, 6, -1, 0}));
  r = parseWorldLine(encodeNotice({"no object 4"}));
  ASSERT_TRUE(r.isOk());
  EXPECT_EQ(std::get<Notice>(r.value()).message, "no object 4");
  // The bot turns object clicks off and on by number 17.
  EXPECT_EQ(eventByNumber(17), EventKind::kObjectClick);
  EXPECT_EQ(eventByNumber(0), std::nullopt);
  for (EventKind kind : kAllEvents) EXPECT_EQ(eventByName(eventName(kind)), kind);
}

}  // namespace
}  // namespace kelva::net
