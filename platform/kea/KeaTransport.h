#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::kea {

// The largest reply body accepted: 256 MiB. Kea writes about 250 bytes per lease, so this holds
// a subnet of about a million leases, far more than any subnet a DHCP server hands out, while a
// runaway or hostile reply cannot grow the process without end.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{256} << 20;

// How long a connection may take before the server counts as not answering.
inline constexpr long kConnectTimeoutSeconds = 5;

struct TransportReply {
  std::uint32_t status = 0;  // a DHCP API status; kSuccess when a whole reply arrived
  std::string body;
};

// One way to a kea-dhcp4 server's control API: the JSON text of a command in, the JSON text of
// its answer out. Failures of the way itself come back as DHCP API statuses; the answer's meaning
// is decoded by the caller, the same whichever way it came.
class KeaTransport {
 public:
  virtual ~KeaTransport() = default;

  virtual TransportReply Exchange(const std::string& request) = 0;

  // True when a command must name the service it is for: the control agent forwards by it, and
  // kea-dhcp4's own HTTP socket accepts it. kea-dhcp4's UNIX socket is the service itself.
  virtual bool NamesService() const = 0;
};

}  // namespace platform::kea
