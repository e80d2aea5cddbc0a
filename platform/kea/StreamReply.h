#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// The deepest nesting of arrays and objects accepted in a reply, the decoder's own limit.
inline constexpr std::size_t kMaxJsonDepth = 1024;

// What one wait on a connection gave.
struct ReadOutcome {
  enum class Kind { Bytes, Closed, Silent, Failed };
  Kind kind = Kind::Closed;
  std::size_t count = 0;  // for Bytes: how many were placed at the start of the buffer (>= 1)
};

// Where the bytes of a reply come from: a connection, or the script of a test or a fuzzer.
class ReplySource {
 public:
  virtual ~ReplySource() = default;

  // The next bytes into `buffer` (never empty), waiting no longer than the no-progress limit:
  // Silent when nothing came within it, Failed when the connection broke.
  virtual ReadOutcome Read(std::span<char> buffer) = 0;
};

// Where a JSON text stands as its bytes arrive, without parsing it: how deep it is nested, and
// whether its outermost array or object has closed.
class JsonFrame {
 public:
  void Feed(std::string_view bytes);

  bool TooDeep() const { return tooDeep_; }
  bool Complete() const { return closed_ && !tooDeep_; }

 private:
  void TakeStructural(char c);

  std::size_t depth_ = 0;
  bool inString_ = false;
  bool escaped_ = false;
  bool opened_ = false;
  bool closed_ = false;
  bool tooDeep_ = false;
};

// One reply on a connection that the server closes after it, which is how kea-dhcp4 ends each
// answer on its UNIX socket. The body is every byte up to the close. A close before any byte, or
// a broken connection -> kRpcServerUnavailable; no byte within the no-progress limit -> kTimeout;
// more than `maxBytes`, nesting deeper than kMaxJsonDepth (both refused as soon as they show) or
// a JSON text that is not complete at the close -> kInvalidData.
TransportReply ReadReplyUntilClosed(ReplySource& source, std::size_t maxBytes = kMaxReplyBytes);

}  // namespace platform::kea
