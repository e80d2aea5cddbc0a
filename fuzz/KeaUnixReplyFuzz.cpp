// The reading of a reply on kea-dhcp4's UNIX socket: the bytes arrive in pieces of any size and the
// connection ends in any way; the reading must keep within its bounds, take every whole reply
// that the decoders would take, and hand on exactly the bytes that came.
//   byte 0: how the connection ends (0 or 3 closed, 1 silent, 2 broken)
//   byte 1: the size of each piece, 1 to 256
//   the rest: the bytes the server sends

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "platform/DhcpStatus.h"
#include "platform/kea/KeaReply.h"
#include "platform/kea/StreamReply.h"

namespace {

using namespace platform::kea;

// Small enough that the fuzzer passes it often.
constexpr std::size_t kFuzzMaxReplyBytes = 4096;

class PiecedSource : public ReplySource {
 public:
  PiecedSource(std::string_view bytes, std::size_t pieceSize, ReadOutcome::Kind end)
      : bytes_(bytes), pieceSize_(pieceSize), end_(end) {}

  ReadOutcome Read(std::span<char> buffer) override {
    FUZZ_CHECK(!buffer.empty());
    if (bytes_.empty()) {
      return {end_};
    }
    std::size_t count = std::min({pieceSize_, buffer.size(), bytes_.size()});
    std::copy_n(bytes_.begin(), count, buffer.begin());
    bytes_.remove_prefix(count);
    return {ReadOutcome::Kind::Bytes, count};
  }

 private:
  std::string_view bytes_;
  std::size_t pieceSize_;
  ReadOutcome::Kind end_;
};

ReadOutcome::Kind EndOf(std::uint8_t choice) {
  switch (choice & 3) {
    case 1:
      return ReadOutcome::Kind::Silent;
    case 2:
      return ReadOutcome::Kind::Failed;
    default:
      return ReadOutcome::Kind::Closed;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const ReadOutcome::Kind end = EndOf(data[0]);
  const std::size_t pieceSize = std::size_t{data[1]} + 1;
  const std::string sent(reinterpret_cast<const char*>(data + 2), size - 2);
  PiecedSource source(sent, pieceSize, end);
  TransportReply reply = ReadReplyUntilClosed(source, kFuzzMaxReplyBytes);

  FUZZ_CHECK(reply.status == dhcp_status::kSuccess || reply.status == dhcp_status::kInvalidData ||
             reply.status == dhcp_status::kTimeout ||
             reply.status == dhcp_status::kRpcServerUnavailable);
  if (reply.status == dhcp_status::kSuccess) {
    FUZZ_CHECK(end == ReadOutcome::Kind::Closed);
    FUZZ_CHECK(reply.body == sent);
    FUZZ_CHECK(reply.body.size() <= kFuzzMaxReplyBytes);
    DecodeVersionReply(reply.body);
    DecodeLeasesReply(reply.body);
  } else {
    FUZZ_CHECK(reply.body.empty());
  }
  // A whole answer that a decoder takes, closed within the bound, is never refused by the reading.
  if (end == ReadOutcome::Kind::Closed && sent.size() <= kFuzzMaxReplyBytes &&
      DecodeVersionReply(sent).status != dhcp_status::kInvalidData) {
    FUZZ_CHECK(reply.status == dhcp_status::kSuccess);
  }
  return 0;
}
