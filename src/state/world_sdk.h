// The bot's only way into the world: the world SDK.
//
// Attributes are plain members, read and set exactly as the game uses them:
// an event handler reads `AvatarName`; a caller sets `ObjectOldNumber` and the
// other object attributes and then calls `ObjectChange`. Events are delivered
// to one WorldEvents handler, and only from inside `Wait`: one at a time, each
// handler running to its end before the next event is delivered. Before an
// event is delivered the SDK sets the attributes that the event carries.
//
// Two implementations exist: the simulated world in this process (tests and
// script mode) and the network client of a world server.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelva {

// The handlers of the events the game listens to.
class WorldEvents {
 public:
  virtual ~WorldEvents() = default;
  virtual void onAvatarAdd() = 0;     // avatar-arrival: AvatarName
  virtual void onChat() = 0;          // AvatarName, ChatSession, ChatMessage
  virtual void onAvatarClick() = 0;   // AvatarName, AvatarSession, ClickedName, ClickedSession
  virtual void onObjectClick() = 0;   // AvatarName, AvatarSession, ObjectNumber
  virtual void onCellBegin() = 0;     // CellX, CellZ, CellSequence
  virtual void onCellObject() = 0;    // object attributes of an object reported by a query
  virtual void onObjectAdd() = 0;     // cell and object attributes
  virtual void onObjectDelete() = 0;  // cell attributes, ObjectNumber, ObjectModel
  virtual void onQueryComplete() = 0; // QueryComplete
};

// The nine cell sequence numbers of a query, indexed [z offset + 1][x offset + 1];
// a query passes them in the order (0,0), (0,1), (0,2), (1,0), ... (2,2).
using CellSequenceTable = std::array<std::array<int32_t, 3>, 3>;

class WorldSdk {
 public:
  virtual ~WorldSdk() = default;

  // Attributes.
  std::string AvatarName;
  int32_t AvatarSession = 0;
  int32_t ChatSession = 0;
  std::string ChatMessage;
  int32_t CellX = 0;
  int32_t CellZ = 0;
  int32_t CellSequence = 0;
  int32_t ObjectNumber = 0;
  int32_t ObjectX = 0;
  int32_t ObjectY = 0;
  int32_t ObjectZ = 0;
  int16_t ObjectYaw = 0;
  std::string ObjectModel;
  std::string ObjectDescription;
  std::string ObjectAction;
  int32_t ObjectOldNumber = 0;
  int32_t ObjectOldX = 0;
  int32_t ObjectOldZ = 0;
  int32_t ObjectOwner = 0;
  bool QueryComplete = false;
  int32_t ClickedSession = 0;
  std::string ClickedName;
  int16_t TeleportX = 0;
  int16_t TeleportY = 0;
  int16_t TeleportZ = 0;
  bool TeleportWarp = false;

  // Where events go: the program's event router; nullptr drops them.
  void setEventHandler(WorldEvents* handler) { events_ = handler; }
  WorldEvents* eventHandler() const { return events_; }

  // Calls.
  virtual void Init(int32_t version) = 0;
  // Logs the bot in; 0 means logged in, anything else is the world's refusal code.
  virtual int32_t StartBot(int32_t citizen, const std::string& password, const std::string& botName,
                           const std::string& application, const std::string& world, int32_t x, int32_t y,
                           int32_t z, int32_t reserved1, int32_t reserved2) = 0;
  // The sector of a cell coordinate: 8 cells to a sector, rounding down.
  virtual int32_t SectorFromCell(int32_t cell) = 0;
  // Asks for the objects of the nine sectors around (sectorX, sectorZ). The
  // answer arrives as cell-begin, cell-object and query-complete events.
  virtual void Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& sequence) = 0;
  // Delivers the events that were pending when it was called (and, in real
  // time, waits `milliseconds` meanwhile).
  virtual void Wait(int32_t milliseconds) = 0;
  virtual void Say(const std::string& text) = 0;
  virtual void Whisper(int32_t session, const std::string& text) = 0;
  // Moves the avatar of `session` to TeleportX/Y/Z (TeleportWarp: no walking).
  virtual void Teleport(int32_t session) = 0;
  // Changes the object named by ObjectOldNumber (at ObjectOldX, ObjectOldZ) to
  // the values of the Object attributes; the world reports it back as an
  // object-delete and an object-add.
  virtual void ObjectChange() = 0;
  virtual void EventOff(int32_t event) = 0;
  virtual void EventOn(int32_t event) = 0;
  virtual void Destroy() = 0;
  virtual void Term() = 0;

 protected:
  WorldEvents* events_ = nullptr;
};

// The event kind the object-click handler switches off while it runs.
inline constexpr int32_t kObjectClickEventKind = 17;

}  // namespace kelva
