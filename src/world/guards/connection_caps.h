// How many connections of one kind the world holds: in all, from one source
// address, and among those not logged in yet (in all and from one address).
//
// One `ConnectionCaps` counts one kind of connection: the player ports (line
// and web alike) share one, the bot port has its own. A connection is
// admitted with a ticket that it holds for its life; the ticket gives its
// place back when the connection goes, so counts cannot drift. A refusal says
// why in words the client can be shown, whatever language its port speaks.
// Nothing here knows of sockets; addresses are texts (see `sourceKey`). The
// caps must outlive every ticket they hand out.
//
// Strangers must never keep a real client out by holding the places of
// those still logging in. So when those places are full and the waiting
// connections can be let go (`onEvicted`), a newcomer is not refused: the
// oldest waiting connection of the address that holds the most waiting
// places (or, when the newcomer's own address is at its cap, of that
// address) is let go instead. A flood then only ever pushes out itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

namespace kelva::world {

// 0 in any field means no cap.
struct CapLimits {
  std::size_t total = 0;
  std::size_t perAddress = 0;
  std::size_t notLoggedIn = 0;
  std::size_t notLoggedInPerAddress = 0;
};

class ConnectionCaps;

// A connection's place in the counts. Move-only; gives the place back when
// destroyed or released.
class CapTicket {
 public:
  CapTicket() = default;
  CapTicket(CapTicket&& other) noexcept;
  CapTicket& operator=(CapTicket&& other) noexcept;
  CapTicket(const CapTicket&) = delete;
  CapTicket& operator=(const CapTicket&) = delete;
  ~CapTicket() { release(); }

  // The connection logged in: it no longer counts among those that have not.
  void loggedIn();
  void release();
  bool held() const { return caps_ != nullptr; }
  bool isLoggedIn() const { return loggedIn_; }
  // How to let the connection go to make room for a newcomer while it has
  // not logged in. Its place is given back before `evict` runs.
  void onEvicted(std::function<void()> evict);

 private:
  friend class ConnectionCaps;
  CapTicket(ConnectionCaps* caps, uint64_t id) : caps_(caps), id_(id) {}
  ConnectionCaps* caps_ = nullptr;
  uint64_t id_ = 0;
  bool loggedIn_ = false;
};

class ConnectionCaps {
 public:
  explicit ConnectionCaps(CapLimits limits) : limits_(limits) {}
  ConnectionCaps(const ConnectionCaps&) = delete;
  ConnectionCaps& operator=(const ConnectionCaps&) = delete;

  struct Admission {
    std::optional<CapTicket> ticket;  // set when admitted
    std::string refusal;              // otherwise why not, e.g. "the world is full (1000 players)"
    std::string cap;                  // and which cap, for the log: "total", "per address", ...
    std::size_t evicted = 0;          // waiting connections let go to make room
  };
  // Admits a new, not yet logged-in connection from `address` or says why not.
  // `noun` names the kind in refusals ("players", "bot connections").
  Admission admit(const std::string& address, const std::string& noun);

  const CapLimits& limits() const { return limits_; }
  void setLimits(const CapLimits& limits) { limits_ = limits; }
  std::size_t total() const { return total_; }
  std::size_t notLoggedIn() const { return notLoggedIn_; }
  std::size_t fromAddress(const std::string& address) const;
  // Addresses with at least one connection (the table never keeps others).
  std::size_t addresses() const { return perAddress_.size(); }

 private:
  friend class CapTicket;
  struct Counts {
    std::size_t all = 0;
    std::size_t notLoggedIn = 0;
  };
  struct Place {
    std::string address;
    bool loggedIn = false;
    std::function<void()> evict;
    std::list<uint64_t>::iterator waiting;  // in `waiting_` while not logged in
  };
  void loggedIn(uint64_t id);
  void leave(uint64_t id);
  void setEviction(uint64_t id, std::function<void()> evict);
  // Lets go the oldest evictable waiting connection of `address` (any
  // address: empty). False when there is none.
  bool evictOldest(const std::string& address);
  // The address holding the most waiting places.
  std::string busiestWaitingAddress() const;

  CapLimits limits_;
  std::size_t total_ = 0;
  std::size_t notLoggedIn_ = 0;
  std::unordered_map<std::string, Counts> perAddress_;
  std::unordered_map<uint64_t, Place> places_;
  std::list<uint64_t> waiting_;  // not logged in, oldest first
  uint64_t nextId_ = 1;
};

}  // namespace kelva::world
