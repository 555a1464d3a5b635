#include "world/guards/connection_caps.h"

#include <utility>

namespace kelva::world {

namespace {

bool reached(std::size_t count, std::size_t cap) { return cap != 0 && count >= cap; }

}  // namespace

CapTicket::CapTicket(CapTicket&& other) noexcept
    : caps_(std::exchange(other.caps_, nullptr)), id_(other.id_), loggedIn_(other.loggedIn_) {}

CapTicket& CapTicket::operator=(CapTicket&& other) noexcept {
  if (this != &other) {
    release();
    caps_ = std::exchange(other.caps_, nullptr);
    id_ = other.id_;
    loggedIn_ = other.loggedIn_;
  }
  return *this;
}

void CapTicket::loggedIn() {
  if (!caps_ || loggedIn_) return;
  loggedIn_ = true;
  caps_->loggedIn(id_);
}

void CapTicket::release() {
  if (!caps_) return;
  std::exchange(caps_, nullptr)->leave(id_);
}

void CapTicket::onEvicted(std::function<void()> evict) {
  if (caps_ && !loggedIn_) caps_->setEviction(id_, std::move(evict));
}

ConnectionCaps::Admission ConnectionCaps::admit(const std::string& address, const std::string& noun) {
  Admission a;
  auto countsHere = [&] {
    auto it = perAddress_.find(address);
    return it == perAddress_.end() ? Counts{} : it->second;
  };
  if (reached(total_, limits_.total)) {
    a.refusal = "the world is full (" + std::to_string(limits_.total) + " " + noun + ")";
    a.cap = "total";
    return a;
  }
  if (reached(countsHere().all, limits_.perAddress)) {
    a.refusal = "there are too many connections from your address (" + std::to_string(limits_.perAddress) + " " +
                noun + " at most)";
    a.cap = "per address";
    return a;
  }
  // The waiting places: a full one makes room by letting the oldest of the
  // flood go, and is refused only when none of them can be let go.
  while (reached(countsHere().notLoggedIn, limits_.notLoggedInPerAddress)) {
    if (!evictOldest(address)) {
      a.refusal = "too many " + noun + " from your address are logging in at once (" +
                  std::to_string(limits_.notLoggedInPerAddress) + " at most)";
      a.cap = "not logged in per address";
      return a;
    }
    ++a.evicted;
  }
  while (reached(notLoggedIn_, limits_.notLoggedIn)) {
    if (!evictOldest(busiestWaitingAddress()) && !evictOldest("")) {
      a.refusal = "too many " + noun + " are logging in at once; try again in a few seconds";
      a.cap = "not logged in";
      return a;
    }
    ++a.evicted;
  }
  Counts& c = perAddress_[address];
  ++c.all;
  ++c.notLoggedIn;
  ++total_;
  ++notLoggedIn_;
  const uint64_t id = nextId_++;
  Place& place = places_[id];
  place.address = address;
  place.waiting = waiting_.insert(waiting_.end(), id);
  a.ticket = CapTicket(this, id);
  return a;
}

std::size_t ConnectionCaps::fromAddress(const std::string& address) const {
  auto it = perAddress_.find(address);
  return it == perAddress_.end() ? 0 : it->second.all;
}

void ConnectionCaps::loggedIn(uint64_t id) {
  auto it = places_.find(id);
  if (it == places_.end() || it->second.loggedIn) return;
  Place& place = it->second;
  place.loggedIn = true;
  place.evict = nullptr;
  waiting_.erase(place.waiting);
  --perAddress_[place.address].notLoggedIn;
  --notLoggedIn_;
}

void ConnectionCaps::leave(uint64_t id) {
  auto placeIt = places_.find(id);
  if (placeIt == places_.end()) return;  // let go earlier to make room
  Place place = std::move(placeIt->second);
  places_.erase(placeIt);
  auto it = perAddress_.find(place.address);
  if (it == perAddress_.end()) return;
  --total_;
  --it->second.all;
  if (!place.loggedIn) {
    waiting_.erase(place.waiting);
    --notLoggedIn_;
    --it->second.notLoggedIn;
  }
  if (it->second.all == 0) perAddress_.erase(it);
}

void ConnectionCaps::setEviction(uint64_t id, std::function<void()> evict) {
  auto it = places_.find(id);
  if (it != places_.end() && !it->second.loggedIn) it->second.evict = std::move(evict);
}

bool ConnectionCaps::evictOldest(const std::string& address) {
  for (uint64_t id : waiting_) {
    Place& place = places_.at(id);
    if (!place.evict || (!address.empty() && place.address != address)) continue;
    std::function<void()> evict = std::move(place.evict);
    leave(id);  // the place is free before the connection hears of it
    evict();
    return true;
  }
  return false;
}

std::string ConnectionCaps::busiestWaitingAddress() const {
  std::string busiest;
  std::size_t most = 0;
  for (const auto& [address, counts] : perAddress_)
    if (counts.notLoggedIn > most) {
      most = counts.notLoggedIn;
      busiest = address;
    }
  return busiest;
}

}  // namespace kelva::world
