// Cuts a byte stream into lines for the world's line-based connections.
//
// Both the player port and the bot port are line-based. On the bot port a
// line ends with LF, and a CR right before the LF is dropped. On the player
// port CR, LF and CR LF each end a line, since terminals and telnet clients
// send any of the three for the Enter key; a CR LF ends one line, not two.
// A line longer than the connection's limit is never kept whole in memory:
// its bytes are discarded up to the next line end and the owner is told
// once, so a client that never sends a line end cannot make the buffer grow.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kelva::net {

// What ends a line.
enum class LineEnds {
  kLineFeed,  // LF (a CR right before it is dropped)
  kAny,       // CR, LF or CR LF
};

class LineBuffer {
 public:
  // `maxLength` is the longest line kept, without its line end.
  explicit LineBuffer(std::size_t maxLength, LineEnds ends = LineEnds::kLineFeed)
      : maxLength_(maxLength), ends_(ends) {}

  // Feeds received bytes. Calls `onLine` for every complete line, in order,
  // and `onOverlong` once for each line that was too long and dropped. A
  // callback may return false to stop at once (the connection was closed);
  // the rest of the bytes are then ignored and feed returns false.
  bool feed(std::string_view bytes, const std::function<bool(std::string_view)>& onLine,
            const std::function<bool()>& onOverlong);

  std::size_t maxLength() const { return maxLength_; }
  // Bytes of an unfinished line held so far.
  std::size_t pending() const { return partial_.size(); }

 private:
  std::size_t maxLength_;
  LineEnds ends_;
  std::string partial_;
  bool discarding_ = false;
  bool afterCarriageReturn_ = false;  // a LF next belongs to the CR that ended the last line
};

}  // namespace kelva::net
