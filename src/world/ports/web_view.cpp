// What the page is shown of the world: the avatars and objects near the
// player, kept as the player and the others move.
#include <algorithm>
#include <vector>

#include "world/ports/player_texts.h"
#include "world/ports/web_connection.h"

namespace kelva::world {

void WebConnection::avatarArrived(const Avatar& who, Arrival how) {
  // A move within sight is told as leaving and coming near again: the
  // page hears it as one move, so the figure walks instead of blinking.
  bool moved = pendingGone_.erase(who.session) > 0;
  sendAvatar(who);
  if (!moved) send(web::worldText(arrivalText(who, how)));
}

void WebConnection::avatarLeft(const Avatar& who, Departure how) {
  if (how == Departure::kLeft) {
    pendingGone_.erase(who.session);
    seenAvatars_.erase(who.session);
    send(web::avatarGone(who.session));
    send(web::worldText(departureText(who, how)));
    return;
  }
  // Held back until the core's call is over: if the same avatar comes
  // near again in it, it only moved.
  pendingGone_[who.session] = {who, how};
  goneFlush_.expires_after(std::chrono::seconds(0));
  goneFlush_.async_wait([self = shared_from_this()](ErrorCode ec) {
    if (!ec) self->flushGone();
  });
}

void WebConnection::objectAdded(const ObjectEvent& event) {
  const WorldObject& o = event.object;
  if (isVisible(o) && seesObject(o)) showObject(o);
}

void WebConnection::objectRemoved(const ObjectEvent& event) {
  if (seenObjects_.erase(event.object.number)) send(web::objectGone(event.object.number));
}

bool WebConnection::seesObject(const WorldObject& o) const {
  return session_ != 0 && core_.near(x_, z_, o.x, o.z);
}

void WebConnection::showObject(const WorldObject& o) {
  seenObjects_.insert(o.number);
  send(web::object(o.number, o.model, o.description, o.x, o.y, o.z, o.yaw, o.label));
}

void WebConnection::sendAvatar(const Avatar& a) {
  seenAvatars_.insert(a.session);
  send(web::avatar(a.session, a.name, a.isBot(), a.x, a.y, a.z));
}

void WebConnection::flushGone() {
  for (const auto& [session, gone] : pendingGone_) {
    seenAvatars_.erase(session);
    send(web::avatarGone(session));
    send(web::worldText(departureText(gone.who, gone.how)));
  }
  pendingGone_.clear();
}

void WebConnection::followOwnPosition() {
  if (session_ == 0 || closed_) return;
  const Avatar* me = core_.avatar(session_);
  if (!me) return;
  if (shownSelf_ && me->x == x_ && me->y == y_ && me->z == z_) return;
  shownSelf_ = true;
  x_ = me->x;
  y_ = me->y;
  z_ = me->z;
  sendAvatar(*me);

  std::vector<int32_t> avatarsNow{session_};
  core_.forEachAvatarSeenFrom(x_, z_, session_, [&](const Avatar& a) {
    avatarsNow.push_back(a.session);
    if (!seenAvatars_.contains(a.session)) sendAvatar(a);
  });
  std::sort(avatarsNow.begin(), avatarsNow.end());
  seenAvatars_.eraseIf([&](int32_t s) {
    if (std::binary_search(avatarsNow.begin(), avatarsNow.end(), s)) return false;
    send(web::avatarGone(s));
    return true;
  });

  std::vector<int32_t> objectsNow;  // in order: the objects' map is sorted
  for (const auto& [number, o] : core_.world().objects()) {
    if (!isVisible(o) || !seesObject(o)) continue;
    objectsNow.push_back(number);
    if (!seenObjects_.contains(number)) showObject(o);
  }
  seenObjects_.eraseIf([&](int32_t n) {
    if (std::binary_search(objectsNow.begin(), objectsNow.end(), n)) return false;
    send(web::objectGone(n));
    return true;
  });
}

}  // namespace kelva::world
