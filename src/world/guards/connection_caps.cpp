#include "world/guards/connection_caps.h"

#include <utility>

namespace kelva::world {

namespace {

bool reached(std::size_t count, std::size_t cap) { return cap != 0 && count >= cap; }

}  // namespace

CapTicket::CapTicket(CapTicket&& other) noexcept
    : caps_(std::exchange(other.caps_, nullptr)), address_(std::move(other.address_)), loggedIn_(other.loggedIn_) {}

CapTicket& CapTicket::operator=(CapTicket&& other) noexcept {
  if (this != &other) {
    release();
    caps_ = std::exchange(other.caps_, nullptr);
    address_ = std::move(other.address_);
    loggedIn_ = other.loggedIn_;
  }
  return *this;
}

void CapTicket::loggedIn() {
  if (!caps_ || loggedIn_) return;
  loggedIn_ = true;
  caps_->loggedIn(address_);
}

void CapTicket::release() {
  if (!caps_) return;
  std::exchange(caps_, nullptr)->leave(address_, loggedIn_);
}

ConnectionCaps::Admission ConnectionCaps::admit(const std::string& address, const std::string& noun) {
  Admission a;
  auto it = perAddress_.find(address);
  Counts here = it == perAddress_.end() ? Counts{} : it->second;
  if (reached(total_, limits_.total)) {
    a.refusal = "the world is full (" + std::to_string(limits_.total) + " " + noun + ")";
    a.cap = "total";
  } else if (reached(here.all, limits_.perAddress)) {
    a.refusal = "there are too many connections from your address (" + std::to_string(limits_.perAddress) + " " +
                noun + " at most)";
    a.cap = "per address";
  } else if (reached(notLoggedIn_, limits_.notLoggedIn)) {
    a.refusal = "too many " + noun + " are logging in at once; try again in a few seconds";
    a.cap = "not logged in";
  } else if (reached(here.notLoggedIn, limits_.notLoggedInPerAddress)) {
    a.refusal = "too many " + noun + " from your address are logging in at once (" +
                std::to_string(limits_.notLoggedInPerAddress) + " at most)";
    a.cap = "not logged in per address";
  } else {
    Counts& c = perAddress_[address];
    ++c.all;
    ++c.notLoggedIn;
    ++total_;
    ++notLoggedIn_;
    a.ticket = CapTicket(this, address);
  }
  return a;
}

std::size_t ConnectionCaps::fromAddress(const std::string& address) const {
  auto it = perAddress_.find(address);
  return it == perAddress_.end() ? 0 : it->second.all;
}

void ConnectionCaps::loggedIn(const std::string& address) {
  --perAddress_[address].notLoggedIn;
  --notLoggedIn_;
}

void ConnectionCaps::leave(const std::string& address, bool loggedIn) {
  auto it = perAddress_.find(address);
  if (it == perAddress_.end()) return;
  --total_;
  --it->second.all;
  if (!loggedIn) {
    --notLoggedIn_;
    --it->second.notLoggedIn;
  }
  if (it->second.all == 0) perAddress_.erase(it);
}

}  // namespace kelva::world
