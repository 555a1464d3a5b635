// SimWorld: a whole world in this process, for script mode and the tests.
//
// It holds the world's objects, answers the bot's queries of the nine sectors
// around it, turns object changes into the events a world server sends, and
// logs the bot in with a code the operator chooses. Everything the bot makes
// visible in the world (a whisper, a public line, a teleport, an object
// change, a query, leaving the world) becomes one transcript line on the sink,
// in the order it happens:
//   whisper SESSION TEXT        say TEXT        teleport SESSION X Y Z WARP
//   object-change NUMBER MODEL [ACTION]         query SX SZ S1 ... S9
//   destroy                     term
//
// The world's rules:
// - A cell is 1000 units (cell = floor(coordinate / 1000)); a sector is 8
//   cells (sector = floor(cell / 8)).
// - Every add, delete or change of an object raises its cell's sequence
//   number by one; a cell never touched has 0. Events carry the value their
//   own change left.
// - Events wait in a queue and are delivered only inside Wait, one at a
//   time: a Wait delivers the events that were pending when it was called;
//   those queued meanwhile (by the handlers, say) wait for the next Wait.
// - A query may need several rounds (see setQueryRounds).
//
// What a test or the script runner does to the world (adding objects,
// avatars chatting, the login code) goes through SimWorld's own methods, not
// through WorldSdk, so that a network backend fits the same interface.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/world_object.h"
#include "state/world_sdk.h"

namespace kelva {

// floor(a / b) for b > 0, also for negative a.
int32_t floorDiv(int32_t a, int32_t b);
// The cell of a coordinate in world units.
int32_t cellOf(int32_t coordinate);

class SimWorld : public WorldSdk {
 public:
  using Sink = std::function<void(const std::string&)>;
  using SleepHook = std::function<void(int32_t milliseconds)>;

  explicit SimWorld(Sink sink);

  // --- Control of the world (tests, script mode) ---

  // The code the next StartBot returns (0, logged in, until told otherwise).
  void setLoginResult(int32_t code) { loginResult_ = code; }
  // The world needs `rounds` (at least 1) Query calls to answer a query: the
  // answers to the first rounds - 1 calls end with QueryComplete false, the
  // last with true. The cells of the answer are fixed at the first call and
  // cut into `rounds` consecutive parts, one per call.
  void setQueryRounds(int32_t rounds);
  // Called with the milliseconds of every Wait before it delivers; unset (no
  // real time passes) unless a real-time runner sets it.
  void setSleepHook(SleepHook hook) { sleepHook_ = std::move(hook); }

  bool loggedIn() const { return loggedIn_; }

  // Puts an object into the world. An object with the same number is
  // replaced: taken out, then the new one put in. After login each step
  // queues its object-delete / object-add event.
  void putObject(const WorldObject& object);
  // Takes the object out of the world (after login: queues object-delete).
  // False, and nothing happens, when no object has that number.
  bool removeObject(int32_t number);
  // The object with that number, or nullptr.
  const WorldObject* findObject(int32_t number) const;
  // The current sequence number of a cell.
  int32_t cellSequenceOf(int32_t cellX, int32_t cellZ) const;

  // Avatars doing things: each queues its event for the next Wait.
  void queueAvatarArrival(const std::string& name);
  void queueChat(const std::string& name, int32_t session, const std::string& text);
  void queueObjectClick(const std::string& name, int32_t session, int32_t number);
  void queueAvatarClick(const std::string& name, int32_t session, const std::string& clickedName,
                        int32_t clickedSession);

  std::size_t pendingEventCount() const { return pending_.size(); }

  // --- WorldSdk ---
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
  enum class EventKind {
    kAvatarAdd,
    kChat,
    kAvatarClick,
    kObjectClick,
    kCellBegin,
    kCellObject,
    kObjectAdd,
    kObjectDelete,
    kQueryComplete
  };

  // An event as it waits in the queue: the attribute values it will set.
  struct Event {
    EventKind kind = EventKind::kQueryComplete;
    std::string avatarName;
    int32_t session = 0;
    std::string text;
    std::string clickedName;
    int32_t clickedSession = 0;
    WorldObject object;
    int32_t cellX = 0;
    int32_t cellZ = 0;
    int32_t cellSequence = 0;
    bool complete = false;
  };

  using CellKey = std::pair<int32_t, int32_t>;  // (cellX, cellZ)

  // One cell of a query answer, as it was at the query's first call.
  struct AnsweredCell {
    CellKey cell;
    int32_t sequence = 0;
    std::vector<WorldObject> objects;  // ascending number
  };

  // A query in progress over several rounds.
  struct QuerySeries {
    bool active = false;
    int32_t sectorX = 0;
    int32_t sectorZ = 0;
    int32_t rounds = 1;
    int32_t roundsDone = 0;
    std::vector<AnsweredCell> cells;
  };

  static CellKey cellKeyOf(const WorldObject& object);
  // Raises the cell's sequence number and returns the new value.
  int32_t raiseSequence(const CellKey& cell);
  void eraseObject(int32_t number);
  void insertObject(const WorldObject& object);
  std::vector<AnsweredCell> answerCells(int32_t sectorX, int32_t sectorZ) const;
  void deliver(const Event& event);
  void emit(const std::string& line) { sink_(line); }

  Sink sink_;
  SleepHook sleepHook_;
  int32_t loginResult_ = 0;
  bool loggedIn_ = false;
  int32_t queryRounds_ = 1;
  QuerySeries query_;
  std::map<int32_t, WorldObject> objects_;  // by number
  std::map<CellKey, int32_t> sequences_;
  std::deque<Event> pending_;
};

}  // namespace kelva
