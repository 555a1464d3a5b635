#include "world/ports/player_texts.h"

#include <algorithm>

#include "world/guards/safeguards.h"

namespace kelva::world {

std::string arrivalText(const Avatar& who, Arrival how) {
  switch (how) {
    case Arrival::kEntered:
      return who.name + (who.isBot() ? " enters the world." : " arrives.");
    case Arrival::kCameNear:
      return who.name + " comes near.";
    case Arrival::kAppeared:
      return who.name + " appears.";
  }
  return who.name + " arrives.";
}

std::string departureText(const Avatar& who, Departure how) {
  switch (how) {
    case Departure::kLeft:
      return who.name + (who.isBot() ? " leaves the world." : " leaves.");
    case Departure::kWalkedAway:
      return who.name + " walks away.";
    case Departure::kVanished:
      return who.name + " vanishes.";
  }
  return who.name + " leaves.";
}

namespace {
// A wait as the player reads it, rounded up to whole seconds.
std::string spokenWait(std::chrono::milliseconds wait) {
  return spokenDuration(std::chrono::ceil<std::chrono::seconds>(wait));
}
}  // namespace

std::string loginText(const PlayerLogin::Outcome& o) {
  using Step = PlayerLogin::Step;
  switch (o.step) {
    case Step::kNameRefused:
      return "That name cannot be used: " + o.problem + ". What is your name?";
    case Step::kPasswordAsked:
      return o.name + " is a registered name. Password?";
    case Step::kNameInUse:
      return o.name + " is already in the world. What is your name?";
    case Step::kWrongPassword:
      return "Wrong password. What is your name?";
    case Step::kTooManyWrong:
      return "Wrong password. Goodbye.";
    case Step::kGuest:
      return o.typed + " is not registered: you are the guest " + o.name + ".";
    case Step::kRegistered:
    case Step::kVerify:
      return "";
    case Step::kBanned:
      return o.name + " is banned from this world " + o.problem + ". What is your name?";
    case Step::kBusy:
      return "The world is busy; please try again in a moment. What is your name?";
    case Step::kGuestsClosed:
      return "This world lets in registered players only. What is your name?";
    case Step::kGuestsFull:
      return "There is no room for more guests (" + o.problem +
             " at most); a registered name may still enter. What is your name?";
    case Step::kThrottled:
      return std::string("Too many wrong passwords ") +
             (o.because == LoginThrottle::Because::kAddress ? "from your address" : "for " + o.name) +
             "; try again in " + spokenWait(o.wait) + ". What is your name?";
    case Step::kCheckLater:
      return "Too many wrong passwords for " + o.name + " lately; yours is checked in " + spokenWait(o.wait) + ".";
  }
  return "";
}

std::string deadlineText(ConnectionTimeouts::Due due, std::chrono::seconds idle) {
  using Due = ConnectionTimeouts::Due;
  switch (due) {
    case Due::kLogInTooLate:
      return "No name was given in time. Goodbye.";
    case Due::kIdleWarning: {
      const std::chrono::seconds left = idleWarningLead(idle);
      return "You have typed nothing for " + spokenDuration(idle - left) + "; type something within " +
             spokenDuration(left) + " or you will be disconnected.";
    }
    case Due::kIdleTooLong:
      return "You typed nothing for " + spokenDuration(idle) + ". Goodbye.";
    case Due::kNothing:
      return "";
  }
  return "";
}

}  // namespace kelva::world
