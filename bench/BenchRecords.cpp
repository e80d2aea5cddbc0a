#include "bench/BenchRecords.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>

#include "lease/AddressFormat.h"

namespace bench {

std::string_view BenchHostNameAt(std::uint32_t index, BenchNameBuffer& buffer) {
  const std::string_view prefix = index % 16 == 0 ? "R&D-ws" : "ws";
  const std::string_view suffix = ".corp.example";
  char* end = std::copy(prefix.begin(), prefix.end(), buffer);
  end = std::to_chars(end, buffer + sizeof buffer - suffix.size(), index).ptr;
  end = std::copy(suffix.begin(), suffix.end(), end);
  return {buffer, static_cast<std::size_t>(end - buffer)};
}

void BenchHardwareAt(std::uint32_t index, std::uint8_t (&hardware)[6]) {
  const std::uint8_t bytes[] = {0x00,
                                0x16,
                                0x3E,
                                static_cast<std::uint8_t>(index >> 16),
                                static_cast<std::uint8_t>(index >> 8),
                                static_cast<std::uint8_t>(index)};
  std::copy(std::begin(bytes), std::end(bytes), hardware);
}

// Made in one allocation: the name is built a million times before anything is measured.
BenchLease BenchLeaseAt(std::uint32_t index) {
  BenchNameBuffer buffer;
  BenchLease lease{std::string(BenchHostNameAt(index, buffer)), 0x0A000000u + index, {}};
  BenchHardwareAt(index, lease.hardware);
  return lease;
}

lease::_DHCPUnit BenchRecordAt(std::uint32_t index) {
  BenchLease lease = BenchLeaseAt(index);
  return {std::move(lease.hostName), lease::FormatIpAddress(lease.ipAddress),
          lease::FormatHardwareAddress(sizeof lease.hardware, lease.hardware)};
}

lease::LeaseList BenchRecords(std::uint32_t count) {
  lease::LeaseList leases;
  leases.reserve(count);
  for (std::uint32_t index = 0; index < count; ++index) {
    leases.push_back(BenchRecordAt(index));
  }
  return leases;
}

}  // namespace bench
