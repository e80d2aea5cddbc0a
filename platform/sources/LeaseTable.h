#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sources/LeaseSource.h"

namespace platform::sources {

// The longest hardware address a lease file may hold: dhcpd keeps up to 20 bytes (an InfiniBand
// address), dnsmasq up to 16. A longer one is no lease the server wrote.
inline constexpr std::size_t kLongestHardwareAddress = 20;

// The current leases of a lease file, one per address, in ascending address order. Kept compact
// (about 50 bytes a lease besides its name), since a large server's file holds a million.
class LeaseTable {
 public:
  std::size_t Size() const { return leases_.size(); }
  SourceLease At(std::size_t index) const;
  std::uint32_t AddressAt(std::size_t index) const { return leases_[index].address; }
  // The index of the first lease at or above `address` (Size() when there is none).
  std::size_t LowerBound(std::uint32_t address) const;
  // The leases from `first` to `last`, both included, in ascending address order.
  std::vector<SourceLease> LeasesIn(std::uint32_t first, std::uint32_t last) const;

 private:
  friend class LeaseTableBuilder;

  struct StoredLease {
    std::uint64_t nameOffset = 0;
    std::uint64_t expires = 0;
    std::uint32_t address = 0;
    std::uint32_t nameLength = 0;
    std::uint8_t hardwareLength = 0;
    bool expiring = false;
    bool current = false;  // false: a later declaration took the address back
    std::array<std::uint8_t, kLongestHardwareAddress> hardware{};
  };

  std::vector<StoredLease> leases_;
  std::string names_;
};

// Collects the declarations of a lease file in the order of the file: the last one for an
// address decides what it holds.
class LeaseTableBuilder {
 public:
  // The address is leased: whatever an earlier declaration said of it is replaced. `hardware`
  // holds at most kLongestHardwareAddress bytes; `hostName` is the lease's UTF-8 text.
  void Set(std::uint32_t address, std::span<const std::uint8_t> hardware, std::string_view hostName,
           std::optional<std::uint64_t> expires);
  // The address is leased no more (freed, or in a state that no longer belongs to the client).
  void Remove(std::uint32_t address);

  LeaseTable Finish() &&;

 private:
  LeaseTable::StoredLease& EntryOf(std::uint32_t address);
  void PlaceName(LeaseTable::StoredLease& lease, std::string_view hostName);
  void Grow();

  LeaseTable table_;
  // Open addressing over the addresses: each slot holds an index into the leases plus one, 0 is
  // empty; never more than half full.
  std::vector<std::uint32_t> slots_;
};

}  // namespace platform::sources
