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
#pragma once

#include <cstddef>
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

 private:
  friend class ConnectionCaps;
  CapTicket(ConnectionCaps* caps, std::string address) : caps_(caps), address_(std::move(address)) {}
  ConnectionCaps* caps_ = nullptr;
  std::string address_;
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
  void loggedIn(const std::string& address);
  void leave(const std::string& address, bool loggedIn);

  CapLimits limits_;
  std::size_t total_ = 0;
  std::size_t notLoggedIn_ = 0;
  std::unordered_map<std::string, Counts> perAddress_;
};

}  // namespace kelva::world
