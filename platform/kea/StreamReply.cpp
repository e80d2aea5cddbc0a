#include "platform/kea/StreamReply.h"

#include <algorithm>

#include "platform/DhcpStatus.h"

namespace platform::kea {
namespace {

// Large enough that a big reply takes few reads, small enough to waste little on a short one.
constexpr std::size_t kReadChunkBytes = std::size_t{64} << 10;

TransportReply Failure(std::uint32_t status) {
  return TransportReply{status, {}};
}

}  // namespace

void JsonFrame::TakeStructural(char c) {
  if (c == '"') {
    inString_ = true;
  } else if (c == '[' || c == '{') {
    opened_ = true;
    tooDeep_ = tooDeep_ || ++depth_ > kMaxJsonDepth;
  } else if ((c == ']' || c == '}') && depth_ > 0) {
    closed_ = closed_ || (--depth_ == 0 && opened_);
  }
}

void JsonFrame::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (!inString_) {
      TakeStructural(c);
    } else if (escaped_) {
      escaped_ = false;
    } else if (c == '\\') {
      escaped_ = true;
    } else if (c == '"') {
      inString_ = false;
    }
  }
}

TransportReply ReadReplyUntilClosed(ReplySource& source, std::size_t maxBytes) {
  TransportReply reply;
  JsonFrame frame;
  for (;;) {
    // One byte beyond the bound is asked for, so that a reply one byte too long is seen.
    std::size_t start = reply.body.size();
    std::size_t wanted = std::min(kReadChunkBytes, maxBytes + 1 - start);
    reply.body.resize(start + wanted);
    ReadOutcome outcome = source.Read(std::span<char>(reply.body.data() + start, wanted));
    std::size_t received = outcome.kind == ReadOutcome::Kind::Bytes ? outcome.count : 0;
    reply.body.resize(start + std::min(received, wanted));
    if (outcome.kind == ReadOutcome::Kind::Bytes && received == 0) {
      outcome.kind = ReadOutcome::Kind::Failed;  // a source that breaks its word
    }
    switch (outcome.kind) {
      case ReadOutcome::Kind::Silent:
        return Failure(dhcp_status::kTimeout);
      case ReadOutcome::Kind::Failed:
        return Failure(dhcp_status::kRpcServerUnavailable);
      case ReadOutcome::Kind::Closed:
        if (reply.body.empty()) {
          return Failure(dhcp_status::kRpcServerUnavailable);
        }
        return frame.Complete() ? reply : Failure(dhcp_status::kInvalidData);
      case ReadOutcome::Kind::Bytes:
        break;
    }
    frame.Feed(std::string_view(reply.body).substr(start));
    if (reply.body.size() > maxBytes || frame.TooDeep()) {
      return Failure(dhcp_status::kInvalidData);
    }
  }
}

}  // namespace platform::kea
