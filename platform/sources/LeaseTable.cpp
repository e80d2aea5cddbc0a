#include "platform/sources/LeaseTable.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace platform::sources {
namespace {

constexpr std::size_t kFirstSlotCount = 1024;

// The slot where the search for an address starts. The 256 addresses of one /24 stay side by
// side, so that a file that declares neighbouring addresses one after the other (the usual case)
// walks the table in order instead of all over it; the rest of the address is spread by
// Fibonacci hashing, so that networks which share their low bits do not pile up on each other.
std::size_t SlotOf(std::uint32_t address, std::size_t slotCount) {
  int bits = std::countr_zero(slotCount) - 8;
  std::uint64_t spread = (std::uint64_t{address >> 8} * 0x9E3779B97F4A7C15u) >> (64 - bits);
  return static_cast<std::size_t>((spread << 8) | (address & 0xFF));
}

}  // namespace

SourceLease LeaseTable::At(std::size_t index) const {
  const StoredLease& stored = leases_[index];
  SourceLease lease;
  lease.address = stored.address;
  lease.hardwareAddress.assign(stored.hardware.begin(),
                               stored.hardware.begin() + stored.hardwareLength);
  lease.hostName = names_.substr(stored.nameOffset, stored.nameLength);
  if (stored.expiring) {
    lease.expires = stored.expires;
  }
  return lease;
}

std::size_t LeaseTable::LowerBound(std::uint32_t address) const {
  auto found = std::lower_bound(
      leases_.begin(), leases_.end(), address,
      [](const StoredLease& lease, std::uint32_t value) { return lease.address < value; });
  return static_cast<std::size_t>(found - leases_.begin());
}

std::vector<SourceLease> LeaseTable::LeasesIn(std::uint32_t first, std::uint32_t last) const {
  std::vector<SourceLease> leases;
  for (std::size_t i = LowerBound(first); i < leases_.size() && leases_[i].address <= last; ++i) {
    leases.push_back(At(i));
  }
  return leases;
}

void LeaseTableBuilder::Set(std::uint32_t address, std::span<const std::uint8_t> hardware,
                            std::string_view hostName, std::optional<std::uint64_t> expires) {
  if (hardware.size() > kLongestHardwareAddress) {
    throw std::length_error("hardware address longer than a lease file holds");
  }
  LeaseTable::StoredLease& lease = EntryOf(address);
  lease.current = true;
  lease.hardwareLength = static_cast<std::uint8_t>(hardware.size());
  std::copy(hardware.begin(), hardware.end(), lease.hardware.begin());
  lease.expiring = expires.has_value();
  lease.expires = expires.value_or(0);
  PlaceName(lease, hostName);
}

void LeaseTableBuilder::Remove(std::uint32_t address) {
  EntryOf(address).current = false;
}

// A renewal usually repeats the name: it goes where the last one was, so that a file that
// declares each address many times keeps one copy of each name.
void LeaseTableBuilder::PlaceName(LeaseTable::StoredLease& lease, std::string_view hostName) {
  if (hostName.size() > lease.nameLength) {
    lease.nameOffset = table_.names_.size();
    table_.names_.append(hostName);
  } else {
    table_.names_.replace(lease.nameOffset, hostName.size(), hostName);
  }
  lease.nameLength = static_cast<std::uint32_t>(hostName.size());
}

LeaseTable::StoredLease& LeaseTableBuilder::EntryOf(std::uint32_t address) {
  if ((table_.leases_.size() + 1) * 2 > slots_.size()) {
    Grow();
  }
  std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = SlotOf(address, slots_.size());; slot = (slot + 1) & mask) {
    if (slots_[slot] == 0) {
      table_.leases_.emplace_back().address = address;
      slots_[slot] = static_cast<std::uint32_t>(table_.leases_.size());
      return table_.leases_.back();
    }
    LeaseTable::StoredLease& lease = table_.leases_[slots_[slot] - 1];
    if (lease.address == address) {
      return lease;
    }
  }
}

void LeaseTableBuilder::Grow() {
  std::vector<std::uint32_t> slots(std::max(kFirstSlotCount, slots_.size() * 2), 0);
  std::size_t mask = slots.size() - 1;
  for (std::size_t i = 0; i < table_.leases_.size(); ++i) {
    std::size_t slot = SlotOf(table_.leases_[i].address, slots.size());
    while (slots[slot] != 0) {
      slot = (slot + 1) & mask;
    }
    slots[slot] = static_cast<std::uint32_t>(i + 1);
  }
  slots_ = std::move(slots);
}

// The addresses taken back go, the rest is sorted by address, and the names are copied once
// more in that order, which leaves behind those that later declarations replaced.
LeaseTable LeaseTableBuilder::Finish() && {
  slots_ = {};
  LeaseTable table = std::move(table_);
  std::erase_if(table.leases_, [](const LeaseTable::StoredLease& lease) { return !lease.current; });
  std::sort(table.leases_.begin(), table.leases_.end(),
            [](const LeaseTable::StoredLease& a, const LeaseTable::StoredLease& b) {
              return a.address < b.address;
            });
  std::string names;
  std::size_t total = 0;
  for (const LeaseTable::StoredLease& lease : table.leases_) {
    total += lease.nameLength;
  }
  names.reserve(total);
  for (LeaseTable::StoredLease& lease : table.leases_) {
    std::uint64_t offset = names.size();
    names.append(table.names_, lease.nameOffset, lease.nameLength);
    lease.nameOffset = offset;
  }
  // The leases' storage keeps its spare capacity: pages never written cost no memory, while a
  // shrinking copy would hold both for a moment.
  table.names_ = std::move(names);
  return table;
}

}  // namespace platform::sources
