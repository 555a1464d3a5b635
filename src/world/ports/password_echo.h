// Keeping a password off the player's own screen on the line port.
//
// A terminal program echoes what its user types. Telnet lets the other end
// take the echo over: while the password is typed the world says it will
// echo (IAC WILL ECHO) and then echoes nothing; once the password line is in
// it gives the echo back (IAC WONT ECHO). A telnet client answers with
// IAC DO ECHO, which is how the world learns that it is one. A plain nc has
// no telnet and shows the password whatever the world does: such a player is
// told so at the prompt, until the client has shown that it speaks telnet.
#pragma once

#include <string>
#include <string_view>

namespace kelva::world {

class PasswordEcho {
 public:
  // The telnet bytes to write just before the password prompt.
  std::string hide();
  // A line as read, without the telnet commands in it (a client's answers
  // arrive mixed into the next line typed). Notes the client's answers.
  std::string read(std::string_view line);
  // The bytes that give the echo back once the password line is read, or ""
  // when the client never took the world's echo.
  std::string show();
  // Whether the client has answered a telnet question.
  bool telnet() const { return telnet_; }

 private:
  bool asked_ = false;    // WILL ECHO sent and not yet taken back
  bool agreed_ = false;   // the client answered DO ECHO: it echoes nothing now
  bool telnet_ = false;
};

}  // namespace kelva::world
