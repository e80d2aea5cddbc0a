#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DhcpStatus.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::sources {

// What a Linux DHCP server gives the DHCP API: its version, its subnets, and the leases of an
// address range in ascending order. Each server (Kea, dhcpd, dnsmasq) is one source; the DHCP API's
// batches, resume handles, arrays, subnets at one network address and the subnet each lease
// belongs to are worked out above it, once for all of them (SourceServer).
//
// Every failure is a DHCP API status, which the caller shows in its error line; a source throws
// only std::bad_alloc.

// A source's answer: a DHCP API status and, when it is kSuccess, the value.
template <typename Value>
struct SourceReply {
  std::uint32_t status = dhcp_status::kInvalidData;
  Value value{};
};

struct SourceVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

struct SourceLease {
  std::uint32_t address = 0;                  // host order
  std::vector<std::uint8_t> hardwareAddress;  // empty: none
  // UTF-8 as the server keeps it; empty when the lease has none. Bytes that are not UTF-8 are
  // shown as '?', whatever the source.
  std::string hostName;
  std::optional<std::uint64_t> expires;  // seconds since 1970-01-01 UTC; nothing: never

  friend bool operator==(const SourceLease&, const SourceLease&) = default;
};

// The addresses from `first` to `last`, both included.
struct AddressRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;

  bool operator==(const AddressRange&) const = default;
};

// A walk over the leases of one range.
class LeaseCursor {
 public:
  virtual ~LeaseCursor() = default;

  // Appends the next leases of the range to `leases`, in ascending address order, each after the
  // last one given before: kMoreData when more may follow (a step that says so must have brought
  // at least one lease, or the walk could never end), kSuccess when the range has nothing after
  // these (none at all for an empty range), or the failure, after which the walk is over and what
  // it gave is not used. A source may give as many leases a step as it likes; a step that waits
  // on the server should bring what one request brings.
  virtual std::uint32_t Next(std::vector<SourceLease>& leases) = 0;
};

class LeaseSource {
 public:
  virtual ~LeaseSource() = default;

  virtual SourceReply<SourceVersion> GetVersion() = 0;

  // Every subnet in the order of the server's configuration, as written there: host bits may be
  // set ("10.0.0.100/24" is 10.0.0.0/24) and several may share a network address. Asked at the
  // start of each subnet enumeration, so a source that reads files takes its state of them here.
  virtual SourceReply<std::vector<Ipv4Prefix>> GetSubnets() = 0;

  // A walk over the leases of `range`. `following` are the ranges that will most likely be asked
  // for next, in the order they will be asked (the rest of the enumeration), so that a source may
  // read ahead; a source that does must still answer any range it is asked for. The cursor may be
  // dropped before its end.
  virtual std::unique_ptr<LeaseCursor> ReadRange(AddressRange range,
                                                 std::span<const AddressRange> following) = 0;
};

}  // namespace platform::sources
