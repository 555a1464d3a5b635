// The bot port's protocol on any bytes, from either side. The bytes are cut
// into lines as a connection cuts them; each line is read as a bot's call and
// as a world message. A line either side accepts is sent again by its encoder
// and read back as the same message: nothing is half-understood.
#include "fuzz/fuzz_input.h"
#include "net/bot_protocol.h"
#include "net/line_buffer.h"

namespace {

void checkLine(std::string_view line) {
  using namespace kelva;
  auto call = net::parseBotLine(line);
  if (call.isOk()) {
    auto again = net::parseBotLine(net::encodeCall(call.value()));
    if (!again.isOk() || !(again.value() == call.value())) fuzz::broken("a call does not survive its encoder");
  }
  auto message = net::parseWorldLine(line);
  if (message.isOk()) {
    const std::string encoded = std::visit(
        [](const auto& m) {
          using M = std::decay_t<decltype(m)>;
          if constexpr (std::is_same_v<M, net::WorldEvent>) return net::encodeEvent(m);
          if constexpr (std::is_same_v<M, net::Reply>) return net::encodeReply(m);
          if constexpr (std::is_same_v<M, net::Notice>) return net::encodeNotice(m);
        },
        message.value());
    auto again = net::parseWorldLine(encoded);
    if (!again.isOk() || !(again.value() == message.value())) fuzz::broken("a world message does not survive its encoder");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  if (size == 0) return 0;
  // The first byte sets how the bytes arrive: in pieces of 1 to 256 bytes.
  const std::size_t piece = 1 + data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  net::LineBuffer buffer(net::kMaxBotLine);
  std::size_t lines = 0;
  for (std::size_t pos = 0; pos < bytes.size(); pos += piece) {
    buffer.feed(
        bytes.substr(pos, piece),
        [&lines](std::string_view line) {
          ++lines;
          if (line.size() > net::kMaxBotLine) kelva::fuzz::broken("an overlong line was passed on");
          checkLine(line);
          return true;
        },
        [] { return true; });
  }
  if (buffer.pending() > net::kMaxBotLine) fuzz::broken("the buffer grew past its limit");
  // The last line, unfinished, is read too: a peer may close without a line end.
  if (lines == 0 && bytes.size() <= net::kMaxBotLine) checkLine(bytes);
  return 0;
}
