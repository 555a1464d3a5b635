// Test doubles for the platform pieces: a world that records every call as a
// transcript line (in script mode's words) and lets tests queue events, a
// file system in memory, and a console view and sound that record too.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/file_system.h"
#include "state/console_model.h"
#include "state/world_sdk.h"

namespace kelva::testing {

class FakeWorld : public WorldSdk {
 public:
  // Everything the bot did, one line each: "whisper 7 text", "say text", ...
  std::vector<std::string> calls;
  int eventOffCount = 0;
  int eventOnCount = 0;

  // An event waiting for the next Wait: it sets attributes, then calls a handler.
  std::vector<std::function<void()>> pending;
  void queue(std::function<void()> event) { pending.push_back(std::move(event)); }
  void queueChat(const std::string& name, int32_t session, const std::string& text);

  // The arguments of the last StartBot as one line
  // ("1234 pw Bot Kelvabot Demo -1500 0 2500 0 251"); empty when StartBot
  // was never called.
  std::string startBotCall;
  void Init(int32_t) override {}
  int32_t StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                   const std::string& application, const std::string& world, int32_t x, int32_t y, int32_t z,
                   int32_t reserved1, int32_t reserved2) override {
    startBotCall = std::to_string(citizen) + " " + password + " " + botName + " " + application + " " + world + " " +
                   std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " " +
                   std::to_string(reserved1) + " " + std::to_string(reserved2);
    return 0;
  }
  int32_t SectorFromCell(int32_t cell) override { return cell >= 0 ? cell / 8 : -((-cell + 7) / 8); }
  void Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& s) override;
  void Wait(int32_t) override;
  void Say(const std::string& text) override { calls.push_back("say " + text); }
  void Whisper(int32_t session, const std::string& text) override {
    calls.push_back("whisper " + std::to_string(session) + " " + text);
  }
  void Teleport(int32_t session) override;
  void ObjectChange() override;
  void EventOff(int32_t) override { ++eventOffCount; }
  void EventOn(int32_t) override { ++eventOnCount; }
  void Destroy() override { calls.push_back("destroy"); }
  void Term() override { calls.push_back("term"); }

  WorldEvents* events() { return events_; }
};

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  // Every path read, in order.
  std::vector<std::string> reads;
  // When set, replaceFile fails (and changes nothing) while it returns true.
  std::function<bool(const std::string& path)> failWrite;
  // When set, every write is also a line "save NAME" here (the world's calls,
  // say, so that a test sees saves and messages in one order).
  std::vector<std::string>* writeLog = nullptr;

  Result<std::optional<std::string>> readFile(const std::string& path) override;
  Status replaceFile(const std::string& path, const std::string& bytes) override;
};

class RecordingView : public ConsoleView, public Sound, public Dialogs {
 public:
  std::vector<std::string> lines;  // "combo1 Ann", "list1 ...", "sound", "messagebox 5"
  std::vector<std::string> answers;  // the prompts' answers, in order
  std::vector<std::string> prompts;  // the prompts shown
  std::vector<std::string> notices;  // the save-trouble line, each time it changes
  void combo1Added(const std::string& name) override { lines.push_back("combo1 " + name); }
  void text2Written(const std::string& text) override { lines.push_back("text2 " + text); }
  void text3Written(const std::string& text) override { lines.push_back("text3 " + text); }
  void list1Added(const std::string& entry) override { lines.push_back("list1 " + entry); }
  void restart() override { lines.push_back("sound"); }
  std::optional<std::string> inputBox(const std::string& prompt) override;
  void messageBox(const std::string& text) override { lines.push_back("messagebox " + text); }
  void saveTroubleChanged(const std::string& problem) override { notices.push_back(problem); }
};

}  // namespace kelva::testing
