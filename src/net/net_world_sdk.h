// The bot's world SDK over the network: logs in to a world server's bot port
// and speaks the bot protocol (bot_protocol.h).
//
// A background thread owns the socket: it reads the world's lines, parses
// them and queues the events; it never touches the game. The events are
// delivered only inside Wait, on the caller's thread, in the order they
// arrived and one at a time; Wait runs nothing else (no timers, no other
// handlers), except the reconnect hook at the point in the event stream where
// the bot logged in again.
//
// A lost connection is reported on stderr. The thread logs in again with the
// same StartBot arguments, waiting longer after each failure (backoff), and
// when it is back the reconnect hook lets the bot query its surroundings
// afresh. Calls made while the connection is down are dropped (and said so
// once); events already received are still delivered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/net_options.h"
#include "state/world_sdk.h"

namespace kelva::net {

class WorldLink;
struct LinkItem;
struct WorldEvent;
enum class CallKind;

class NetWorldSdk : public WorldSdk {
 public:
  // StartBot's own codes, beside the world's (net_options.h).
  static constexpr int32_t kUnreachable = kUnreachableCode;
  static constexpr int32_t kNoAnswer = kNoAnswerCode;

  explicit NetWorldSdk(NetOptions options);
  ~NetWorldSdk() override;
  NetWorldSdk(const NetWorldSdk&) = delete;
  NetWorldSdk& operator=(const NetWorldSdk&) = delete;

  // Called inside Wait, in order with the events, each time the bot has
  // logged in again after a lost connection.
  void setReconnectHook(std::function<void()> hook) { reconnectHook_ = std::move(hook); }

  // Who comes and goes, for the operator's list of the players online; the
  // game itself never hears of a departure. Called inside Wait, in order with
  // the events: on each arrival and departure with the avatar's name and
  // session, and with kReset when the bot has logged in again (the world then
  // reports everyone present as arriving anew).
  enum class Presence { kArrived, kLeft, kReset };
  using PresenceHook = std::function<void(Presence, const std::string& name, int32_t session)>;
  void setPresenceHook(PresenceHook hook) { presenceHook_ = std::move(hook); }

  // The session of the bot's own avatar (0 before the login).
  int32_t session() const;
  // Whether the bot is logged in right now.
  bool online() const;

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
  void deliver(const LinkItem& item);
  void tellPresence(Presence what, const WorldEvent& event);
  // Sends a call of `kind` with its value and text; the fields that are SDK
  // attributes are taken from this SDK's attributes now.
  void send(CallKind kind, int32_t value = 0, std::string text = {});
  std::function<void(const std::string&)> echo_;
  std::unique_ptr<WorldLink> link_;
  std::function<void()> reconnectHook_;
  PresenceHook presenceHook_;
  int32_t version_ = 0;
};

}  // namespace kelva::net
