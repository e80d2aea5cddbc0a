#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::kea {

// The largest reply body accepted for a command other than a page of leases: 256 MiB. config-get
// brings the server's whole configuration, which grows with its subnets and with the host
// reservations kept in it (some hundreds of bytes each, a kilobyte or more for a subnet with its
// defaults written out): the bound leaves room for about a million reservations, while a runaway
// or hostile reply cannot grow the process without end.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{256} << 20;

// The largest page of leases accepted: 16 MiB. Kea writes about 250 bytes for a lease; one with
// the longest host name (255 bytes, each non-ASCII byte escaped as six characters), the longest
// client id and extended relay information stays under 4 KB. A page of 500 such leases is under
// 2 MiB, so the bound leaves a margin of eight. One page after another, the tool holds one reply
// at a time; side by side, one for each connection (HttpTransport.h), so that even a hostile
// server cannot make it hold more than 256 MiB of replies.
inline constexpr std::size_t kMaxPageReplyBytes = std::size_t{16} << 20;

// How long a connection may take before the server counts as not answering.
inline constexpr long kConnectTimeoutSeconds = 5;

struct TransportReply {
  std::uint32_t status = 0;  // a DHCP API status; kSuccess when a whole reply arrived
  std::string body;
};

// A reply to a request sent with ConcurrentExchange::Send, and the tag it was sent with.
struct TaggedReply {
  std::uint64_t tag = 0;
  TransportReply reply;
  // From the request's sending to the reply's first byte, on a connection already made: the round
  // trip and the server's time, without the connection's setup. Nothing where it is not known.
  std::optional<std::chrono::microseconds> answered;
};

// Several requests under way at once, each on a connection of its own, their replies taken in
// the order they come: over a link with a long round trip, the waits of requests sent side by
// side overlap. Each reply is what Exchange would have given for its request.
class ConcurrentExchange {
 public:
  virtual ~ConcurrentExchange() = default;

  // How many requests may be under way at once.
  virtual std::size_t Lanes() const = 0;

  // Sends `request`; fewer than Lanes() requests may be under way before it.
  virtual void Send(std::uint64_t tag, const std::string& request, std::size_t maxReplyBytes) = 0;

  // Gives each request under way that has its reply. With `wait`, waits until one has, unless
  // none is under way; without, gives what has come and returns at once.
  virtual std::vector<TaggedReply> Collect(bool wait) = 0;

  // Drops every request under way and its connection; their replies never come.
  virtual void Abandon() = 0;
};

// One way to a kea-dhcp4 server's control API: the JSON text of a command in, the JSON text of
// its answer out. Failures of the way itself come back as DHCP API statuses; the answer's meaning
// is decoded by the caller, the same whichever way it came.
class KeaTransport {
 public:
  virtual ~KeaTransport() = default;

  // A reply body longer than `maxReplyBytes` is refused (kInvalidData) as soon as it shows.
  virtual TransportReply Exchange(const std::string& request, std::size_t maxReplyBytes) = 0;

  // True when a command must name the service it is for: the control agent forwards by it, and
  // kea-dhcp4's own HTTP socket accepts it. kea-dhcp4's UNIX socket is the service itself.
  virtual bool NamesService() const = 0;

  // The way's requests side by side, when it has a use for them; null when it takes one request
  // at a time. Exchange drops whatever is under way there first.
  virtual ConcurrentExchange* Concurrent() { return nullptr; }
};

}  // namespace platform::kea
