#include "net/line_buffer.h"

namespace kelva::net {

bool LineBuffer::feed(std::string_view bytes, const std::function<bool(std::string_view)>& onLine,
                      const std::function<bool()>& onOverlong) {
  while (!bytes.empty()) {
    if (afterCarriageReturn_) {
      afterCarriageReturn_ = false;
      if (bytes.front() == '\n') {
        bytes.remove_prefix(1);
        continue;
      }
    }
    std::size_t end = ends_ == LineEnds::kAny ? bytes.find_first_of("\r\n") : bytes.find('\n');
    std::string_view piece = bytes.substr(0, end);
    if (!discarding_) {
      // A CR may end the piece only when the LF follows; a CR arriving alone
      // at the end of a read is kept until we know.
      std::size_t limit = maxLength_ + 1;  // room for a CR that turns out to precede the LF
      if (partial_.size() + piece.size() > limit) {
        partial_.clear();
        discarding_ = true;
        if (!onOverlong()) return false;
      } else {
        partial_.append(piece);
      }
    }
    if (end == std::string_view::npos) return true;
    afterCarriageReturn_ = bytes[end] == '\r';
    bytes.remove_prefix(end + 1);
    if (discarding_) {
      discarding_ = false;
      continue;
    }
    std::string line = std::move(partial_);
    partial_.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > maxLength_) {
      if (!onOverlong()) return false;
      continue;
    }
    if (!onLine(line)) return false;
  }
  return true;
}

}  // namespace kelva::net
