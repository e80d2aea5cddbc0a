#include "platform/sources/SubnetPositions.h"

#include <algorithm>
#include <functional>

namespace platform::sources {

SubnetPositions::SubnetPositions(std::span<const Ipv4Prefix> subnets) {
  for (const Ipv4Prefix& written : subnets) {
    const Ipv4Prefix prefix = NetworkOf(written);
    auto [found, added] = positions_.try_emplace(prefix.address);
    Position& position = found->second;
    if (added) {
      position.address = prefix.address;
      position.lastAddress = LastAddressOf(prefix);
      addresses_.push_back(prefix.address);
    }
    position.lastAddress = std::max(position.lastAddress, LastAddressOf(prefix));
    std::vector<std::uint8_t>& lengths = position.prefixLengths;
    auto place = std::lower_bound(lengths.begin(), lengths.end(), prefix.length, std::greater<>());
    if (place == lengths.end() || *place != prefix.length) {
      lengths.insert(place, prefix.length);
    }
  }
  for (DHCP_IP_ADDRESS address : addresses_) {
    Position& position = positions_.at(address);
    position.firstRange = ranges_.size();
    AddRangesOf(position);
    position.rangeCount = ranges_.size() - position.firstRange;
  }
}

// Another position inside this one's widest subnet has a longer prefix (a prefix as long or
// longer at another network address would not hold this one's), so its leases are its own.
// Positions inside that one are inside it, and skipped with it.
void SubnetPositions::AddRangesOf(const Position& position) {
  std::uint32_t next = position.address;
  auto inner = positions_.upper_bound(position.address);
  while (inner != positions_.end() && inner->first <= position.lastAddress) {
    if (inner->first > next) {
      ranges_.push_back({next, inner->first - 1});
    }
    std::uint32_t innerLast = inner->second.lastAddress;
    if (innerLast == position.lastAddress) {
      return;
    }
    next = innerLast + 1;
    inner = positions_.upper_bound(innerLast);
  }
  ranges_.push_back({next, position.lastAddress});
}

const SubnetPositions::Position* SubnetPositions::Find(DHCP_IP_ADDRESS address) const {
  auto found = positions_.find(address);
  return found != positions_.end() ? &found->second : nullptr;
}

std::span<const AddressRange> SubnetPositions::RangesOf(const Position& position) const {
  return std::span<const AddressRange>(ranges_).subspan(position.firstRange, position.rangeCount);
}

DHCP_IP_MASK SubnetPositions::MaskAt(const Position& position, std::uint32_t address) {
  for (std::uint8_t length : position.prefixLengths) {
    DHCP_IP_MASK mask = MaskOfPrefixLength(length);
    if ((address & mask) == position.address) {
      return mask;
    }
  }
  return MaskOfPrefixLength(position.prefixLengths.back());
}

}  // namespace platform::sources
