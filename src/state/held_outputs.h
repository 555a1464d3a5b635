// The bot's outputs, held back until the saves they report are on disk.
//
// A round of event handling (one pump of the world, one timer tick, one
// console action) may change characters, the catalogue and the objects many
// times; its saves are written once, at the round's end. A player must never
// read "You are now level 5." about a level that a crash could still take
// back, so everything the bot sends during a round waits here, in order,
// until the round's saves have returned: whispers, public lines, teleports,
// object changes and the console's own lines and sound alike.
//
// HeldOutputs stands between Form1 and the real world and console: Form1 is
// built on it as its world SDK, its console view and its sound. While not
// holding it passes every call straight on. While holding:
// - Say, Whisper, Teleport, ObjectChange, EventOff and EventOn are queued
//   with the attributes they use (the Teleport and Object attributes are
//   taken at the moment of the call, as the world would have read them);
// - the console's lines and sound are queued in the same order;
// - a call that delivers events or reads the world (Wait, Query, StartBot,
//   Init, Destroy, Term) first has the round's saves written (the hook set
//   with setBeforeEarlySend) and sends what is held, so that the world sees
//   the same calls in the same order as without holding; when the saves
//   cannot be written, what is held stays held, whatever the call;
// - SectorFromCell, a mere computation, passes straight on.
//
// The real world's events come here first: the attributes they carry are
// copied over, the event goes to this SDK's handler, and whatever the
// handler set is copied back, so the game reads and writes its attributes
// exactly as it would on the real world.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "state/console_model.h"
#include "state/world_sdk.h"

namespace kelva {

class HeldOutputs : public WorldSdk, public WorldEvents, public ConsoleView, public Sound {
 public:
  // `world`, `view` and `sound` must outlive this object. From now on the
  // world's events come here.
  HeldOutputs(WorldSdk& world, ConsoleView& view, Sound& sound);
  ~HeldOutputs() override;
  HeldOutputs(const HeldOutputs&) = delete;
  HeldOutputs& operator=(const HeldOutputs&) = delete;

  // Starts holding every output until release().
  void hold();
  // Sends what is held, in the order it was asked for, and stops holding.
  // An output that fails is logged and the others are still sent.
  void release();
  bool holding() const { return holding_; }
  std::size_t heldCount() const { return held_.size(); }

  // Runs before held outputs go out in the middle of a round; it must write
  // the saves the round has asked for so far and say whether they are on
  // disk. When they are not, everything stays held and the call goes on to
  // the world after it: the held outputs keep their place at the front.
  void setBeforeEarlySend(std::function<bool()> hook) { beforeEarlySend_ = std::move(hook); }

  // WorldSdk.
  void Init(int32_t version) override;
  int32_t StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                   const std::string& application, const std::string& world, int32_t x, int32_t y, int32_t z,
                   int32_t reserved1, int32_t reserved2) override;
  int32_t SectorFromCell(int32_t cell) override;
  void Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) override;
  void Wait(int32_t milliseconds) override;
  void Say(const std::string& text) override;
  void Whisper(int32_t session, const std::string& text) override;
  void Teleport(int32_t session) override;
  void ObjectChange() override;
  void EventOff(int32_t event) override;
  void EventOn(int32_t event) override;
  void Destroy() override;
  void Term() override;

  // WorldEvents: the real world's events.
  void onAvatarAdd() override;
  void onChat() override;
  void onAvatarClick() override;
  void onObjectClick() override;
  void onCellBegin() override;
  void onCellObject() override;
  void onObjectAdd() override;
  void onObjectDelete() override;
  void onQueryComplete() override;

  // ConsoleView and Sound.
  void combo1Added(const std::string& name) override;
  void text2Written(const std::string& text) override;
  void text3Written(const std::string& text) override;
  void list1Added(const std::string& entry) override;
  // The save-failure notice is about the held outputs: it goes at once.
  void saveTroubleChanged(const std::string& problem) override { view_.saveTroubleChanged(problem); }
  void restart() override;

 private:
  enum class Kind {
    kSay,
    kWhisper,
    kTeleport,
    kObjectChange,
    kEventOff,
    kEventOn,
    kCombo1,
    kText2,
    kText3,
    kList1,
    kSound
  };
  // One held output with what it needs when it goes out.
  struct Held {
    Kind kind = Kind::kSay;
    int32_t number = 0;  // session or event kind
    std::string text;
    // The attributes an ObjectChange or a Teleport reads, as at the call.
    int32_t oldNumber = 0, oldX = 0, oldZ = 0, x = 0, y = 0, z = 0, owner = 0;
    int16_t yaw = 0;
    std::string model, description, action;
    int16_t teleportX = 0, teleportY = 0, teleportZ = 0;
    bool teleportWarp = false;
  };

  static Held held(Kind kind, int32_t number = 0, std::string text = {});
  // Writes the round's saves and, once they are on disk, sends what is held;
  // still holding after.
  void sendEarly();
  void send(const Held& h);
  // Hands a real event on, with the attributes copied both ways.
  template <typename Handler>
  void forward(Handler handler);
  template <typename Send>
  void holdOr(Held h, Send send);

  WorldSdk& world_;
  ConsoleView& view_;
  Sound& sound_;
  bool holding_ = false;
  std::vector<Held> held_;
  std::function<bool()> beforeEarlySend_;
};

}  // namespace kelva
