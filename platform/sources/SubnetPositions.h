#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/sources/Ipv4Text.h"
#include "platform/sources/LeaseSource.h"

namespace platform::sources {

// The positions at which the DHCP API names a server's subnets: their network addresses, and the
// leases that belong to each.
//
// A subnet is its prefix: one written with host bits ("10.0.0.100/24", which Kea accepts and
// serves whole) is 10.0.0.0/24. Subnets at one network address (Kea accepts 10.1.0.0/16 beside
// 10.1.0.0/24) are one position, since the API names a subnet by that address alone. A lease
// belongs to the subnet that holds its address with the longest prefix, whatever the server
// records as the lease's subnet (Kea keeps a lease's old subnet id when subnets are renumbered);
// a lease that no subnet holds belongs to no position.
class SubnetPositions {
 public:
  struct Position {
    DHCP_IP_ADDRESS address = 0;
    std::uint32_t lastAddress = 0;  // of its widest subnet
    // The prefix lengths of its subnets, longest first, each once.
    std::vector<std::uint8_t> prefixLengths;
    // Its ranges in Ranges(): the widest subnet less the subnets of other positions inside it.
    std::size_t firstRange = 0;
    std::size_t rangeCount = 0;
  };

  // The subnets in the order of the server's configuration.
  explicit SubnetPositions(std::span<const Ipv4Prefix> subnets = {});

  // Each network address once, in the order of the server's configuration.
  const std::vector<DHCP_IP_ADDRESS>& Addresses() const { return addresses_; }

  // The position at that network address; null when there is none.
  const Position* Find(DHCP_IP_ADDRESS address) const;

  // Every position's ranges, ascending within a position, the positions in the order of
  // Addresses(): the addresses an enumeration reads, in the order it reads them. Each address of a
  // subnet lies in exactly one range.
  std::span<const AddressRange> Ranges() const { return ranges_; }
  std::span<const AddressRange> RangesOf(const Position& position) const;

  // The mask of the longest subnet of the position that holds the address, one of its ranges'.
  static DHCP_IP_MASK MaskAt(const Position& position, std::uint32_t address);

 private:
  void AddRangesOf(const Position& position);

  std::map<DHCP_IP_ADDRESS, Position> positions_;
  std::vector<DHCP_IP_ADDRESS> addresses_;
  std::vector<AddressRange> ranges_;
};

}  // namespace platform::sources
