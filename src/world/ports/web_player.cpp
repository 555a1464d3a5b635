// A web player's messages as the core's calls (the log-in, lines typed,
// clicks, moves), and the core's words to the player as the page's messages.
#include "world/ports/player_texts.h"
#include "world/ports/web_connection.h"

namespace kelva::world {

std::string WebConnection::describe() const {
  if (session_ != 0) return "web player " + name_ + " (session " + std::to_string(session_) + ")";
  return "web connection from " + peer_;
}

void WebConnection::chat(const Avatar& speaker, std::string_view text) {
  send(web::chat(speaker.session, speaker.name, text));
}

void WebConnection::whisper(const Avatar& from, std::string_view text) { send(web::whisper(from.name, text)); }

void WebConnection::tell(const Avatar& from, std::string_view text) { send(web::tell(from.name, text)); }

void WebConnection::echo(std::string_view text, const Avatar* to) {
  send(web::echo(text, to ? std::string_view(to->name) : std::string_view()));
}

void WebConnection::worldMessage(std::string_view text) {
  send(web::worldText(text));
  // The world tells a player it moved them ("You are at ...", "You are
  // moved to ..."): the page hears where, and what is near there now.
  followOwnPosition();
}

void WebConnection::walked(std::string_view) { followOwnPosition(); }

void WebConnection::dismiss(Dismissal why) {
  if (why == Dismissal::kLoggedInElsewhere) {
    send(web::worldText("You logged in from elsewhere; this connection is closed. Goodbye."));
    closeAfterFlush(name_ + " logged in again from elsewhere");
    return;
  }
  closeAfterFlush("the player left");
}

void WebConnection::handle(std::string_view message) {
  Result<WebRequest> parsed = parseWebMessage(message);
  if (!parsed.isOk()) {
    refuse(parsed.status().message());
    return;
  }
  const WebRequest& r = parsed.value();
  if (timeouts_ && session_ != 0) {
    timeouts_->activity(std::chrono::steady_clock::now());
    armDeadline();
  }
  if (session_ == 0) {
    if (r.kind == WebRequest::Kind::kRegister) {
      gate_.signUp(r.name, *r.password);
      return;
    }
    if (r.kind != WebRequest::Kind::kLogin) {
      refuse("log in first: send {\"type\":\"login\",\"name\":...}");
      return;
    }
    login(r);
    return;
  }
  if (r.kind == WebRequest::Kind::kLogin || r.kind == WebRequest::Kind::kRegister) {
    refuse("you are in the world already");
    return;
  }
  // Every message after the log-in counts as a line typed: the same
  // allowance as on the line port.
  if (!gate_.withinAllowance()) return;
  PlayerAction action;
  switch (r.kind) {
    case WebRequest::Kind::kChat:
      if (!gate_.lineFits(r.text) || gate_.accountCommand(r.text, name_, kind_)) return;
      action = parsePlayerLine(r.text);
      break;
    case WebRequest::Kind::kTell:
      if (!gate_.lineFits(r.text)) return;
      // The core finds the avatar as .tell does: the name, a blank, the words.
      action.kind = PlayerActionKind::kTell;
      action.text = r.name + " " + r.text;
      break;
    case WebRequest::Kind::kClick:
      action.kind = PlayerActionKind::kClick;
      action.number = r.number;
      break;
    case WebRequest::Kind::kAttack:
      action.kind = PlayerActionKind::kAttack;
      action.text = r.name;
      break;
    case WebRequest::Kind::kMove:
      action.kind = PlayerActionKind::kMove;
      action.x = r.x;
      action.z = r.z;
      break;
    case WebRequest::Kind::kQuit:
      action.kind = PlayerActionKind::kQuit;
      break;
    case WebRequest::Kind::kLogin:
    case WebRequest::Kind::kRegister:
      return;
  }
  core_.playerAction(session_, action);
  // The page shows the player's own public chat too, as the world took
  // it; commands and tells come back through echo().
  if (action.kind == PlayerActionKind::kChat && !action.text.starts_with('/') && !closed_)
    send(web::chat(session_, name_, action.text));
}

void WebConnection::login(const WebRequest& r) {
  // A name and its password come in one message; the login reads them as
  // the line port reads two lines.
  PlayerLogin& login = gate_.login();
  PlayerLogin::Outcome o = login.offer(core_, r.name);
  if (o.step == PlayerLogin::Step::kPasswordAsked) {
    if (!r.password) {
      login.forgetName();
      send(web::password(o.name, loginText(o)));
      return;
    }
    o = login.offer(core_, *r.password);
  }
  gate_.answer(o);
}

void WebConnection::sayLogin(PlayerLogin::Step step, const std::string& text) {
  // A guest about to enter and a password waiting for its check hear the
  // world; every other answer refuses this try.
  const bool told = step == PlayerLogin::Step::kGuest || step == PlayerLogin::Step::kCheckLater;
  send(told ? web::worldText(text) : web::refused(text));
}

void WebConnection::sayDropped(const std::string& text) { send(web::error(text)); }

void WebConnection::holdFor(std::chrono::milliseconds wait, std::function<void()> then) {
  paused_ = true;
  pauseTimer_.expires_after(wait);
  pauseTimer_.async_wait([self = shared_from_this(), then = std::move(then)](const ErrorCode& ec) {
    if (ec || self->closed_ || self->closing_) return;
    self->paused_ = false;
    then();
    if (!self->closed_ && !self->closing_) self->readMessage();
  });
}

bool WebConnection::holdWhile(std::function<bool()> work, std::function<void(HashAnswer)> then) {
  const bool queued = hub_.hashing.run(std::move(work), [self = shared_from_this(), then = std::move(then)](HashAnswer answer) {
    if (self->closed_ || self->closing_) return;
    self->paused_ = false;
    then(answer);
    if (!self->closed_ && !self->closing_) self->readMessage();
  });
  if (queued) paused_ = true;
  return queued;
}

void WebConnection::tellPlayer(const std::string& text) { send(web::worldText(text)); }

void WebConnection::letGo(const std::string& reason) { closeAfterFlush(reason); }

void WebConnection::enterWorld(const std::string& shownName, AvatarKind kind) {
  ticket_.loggedIn();
  if (timeouts_) {
    timeouts_->loggedIn(std::chrono::steady_clock::now());
    armDeadline();
  }
  name_ = shownName;
  kind_ = kind;
  session_ = core_.enter(shared_from_this(), shownName, kind);
  hub_.log(describe() + " entered from " + peer_);
  // A browser that could not take even its welcome was closed while it
  // entered, before it knew its session.
  if (closed_) {
    core_.leave(session_);
    return;
  }
  if (const Avatar* me = core_.avatar(session_)) send(web::entered(shownName, session_, me->x, me->y, me->z));
  followOwnPosition();
}

}  // namespace kelva::world
