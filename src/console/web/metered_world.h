// The world SDK with the operator's figures taken on the way: every chat
// line that is a command ("/..."), and the time from it to the bot's first
// whisper back to the speaker's session. Everything else passes through as
// it is; the game sees the same attributes and events as without it.
#pragma once

#include <chrono>
#include <unordered_map>

#include "console/web/metrics.h"
#include "state/world_sdk.h"

namespace kelva::console::web {

class MeteredWorld : public WorldSdk, private WorldEvents {
 public:
  // `world` and `metrics` must outlive this; it becomes `world`'s event handler.
  MeteredWorld(WorldSdk& world, GameMetrics& metrics);
  ~MeteredWorld() override;

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

 private:
  using Clock = std::chrono::steady_clock;

  void onAvatarAdd() override;
  void onChat() override;
  void onAvatarClick() override;
  void onObjectClick() override;
  void onCellBegin() override;
  void onCellObject() override;
  void onObjectAdd() override;
  void onObjectDelete() override;
  void onQueryComplete() override;

  // Hands an event of the real world on with its attributes, and what the
  // handler set back to the real world.
  template <typename F>
  void deliver(F&& handler);
  // The game's attributes to the real world before a call that reads them.
  void toWorld();

  WorldSdk& world_;
  GameMetrics& metrics_;
  // Commands not answered yet, by session: when each came.
  std::unordered_map<int32_t, Clock::time_point> waiting_;
};

}  // namespace kelva::console::web
