// What every player port does between a player's words and the core, in one
// place: the answers to a log-in (a name, a password and its throttle, the
// world's rules for guests), the flood allowance on what a player in the
// world sends, and the checks of a typed line's length and text. The port
// only says things in its own way (`Voice`) and owns the connection.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "world/core/player_login.h"
#include "world/core/world_core.h"
#include "world/guards/connection_limits.h"
#include "world/ports/connection_hub.h"

namespace kelva::world {

// The words after `command` and one blank when `line` is that command
// (empty when nothing follows it); nullopt for any other line.
std::optional<std::string_view> commandArguments(std::string_view line, std::string_view command);

class PlayerGate {
 public:
  // What the gate asks of the player's connection.
  class Voice {
   public:
    virtual ~Voice() = default;
    // The log-in's answer to the player; `step` says whether it lets the
    // player in, asks again or refuses.
    virtual void sayLogin(PlayerLogin::Step step, const std::string& text) = 0;
    // A line the player sent was dropped; `text` says why.
    virtual void sayDropped(const std::string& text) = 0;
    // Reads nothing more from the player until `wait` has passed, then runs
    // `then` (not when the connection closed meanwhile) and reads on.
    virtual void holdFor(std::chrono::milliseconds wait, std::function<void()> then) = 0;
    // Reads nothing more from the player while `work` runs off the world's
    // thread, then runs `then` with its answer on the world's thread (not
    // when the connection closed meanwhile) and reads on. False, with
    // nothing run, when the world has no room for the work now.
    virtual bool holdWhile(std::function<bool()> work, std::function<void(HashAnswer)> then) = 0;
    // A message of the world to this player alone.
    virtual void tellPlayer(const std::string& text) = 0;
    // Sends what is queued and lets the player go.
    virtual void letGo(const std::string& reason) = 0;
    // Puts the player into the world under `shownName`.
    virtual void enterWorld(const std::string& shownName, AvatarKind kind) = 0;
    // The connection as the log names it.
    virtual std::string describe() const = 0;
  };

  // `voice`, `hub` and `core` must outlive the gate. `source` and `peer` are
  // the connection's address as the throttle counts it and as the log shows
  // it; `logTag` follows the peer in the log's lines of wrong passwords.
  PlayerGate(Voice& voice, ConnectionHub& hub, WorldCore& core, const std::string& source, std::string peer,
             std::string logTag);

  // The player's log-in, for a port that reads a name and a password in
  // one message (`PlayerLogin::forgetName`).
  PlayerLogin& login() { return login_; }
  // One line from a player who has not entered yet.
  void offer(std::string_view line) { answer(login_.offer(core_, line)); }
  // Says the outcome of a log-in step and acts on it.
  void answer(const PlayerLogin::Outcome& o);

  // A new account `name` with `password`, asked for before entering the
  // world: made, then the player enters under it as after a log-in; or
  // refused, told as a refused log-in.
  void signUp(const std::string& name, const std::string& password);
  // A line typed in the world that is an account command (.register
  // PASSWORD for a guest, .password OLD NEW for a registered player) or an
  // administrator's command (adminCommand), done here; false for any other
  // line. `shownName` and `kind` are the player's.
  bool accountCommand(std::string_view line, const std::string& shownName, AvatarKind kind);

  // Whether one more line (or message) from a player in the world is within
  // the flood allowance; the first line dropped of a burst is told.
  bool withinAllowance();
  // Whether a typed line is within the line limit and its text may be sent;
  // the player is told when not.
  bool lineFits(std::string_view text);
  // A line over the line limit was dropped: logged and told.
  void overlong();

 private:
  Voice& voice_;
  ConnectionHub& hub_;
  WorldCore& core_;
  std::string source_;
  std::string peer_;
  std::string logTag_;
  // Hashes `password` off the world's thread; `then` gets the hash, or ""
  // when it could not be made, and `late` runs instead when the world was too
  // busy to make it in time. False when the workers are full.
  bool hashThen(const std::string& password, std::function<void(const std::string&)> then,
                std::function<void()> late);
  // An administrator's command (.kick NAME, .ban NAME [MINUTES], .announce
  // TEXT), done here and logged, or refused to anyone else; false for any
  // other line (admin_commands.cpp).
  bool adminCommand(std::string_view line, const std::string& shownName, AvatarKind kind);
  void kick(const std::string& admin, std::string_view name);
  void ban(const std::string& admin, std::string_view words);
  // Makes the account; the error is the player's to read.
  Status makeAccount(const std::string& name, const std::string& hash);
  PlayerLogin login_;
  FloodBucket flood_;
};

}  // namespace kelva::world
