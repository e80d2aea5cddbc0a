#include "bench/BenchRecords.h"

#include <charconv>
#include <string>

#include "lease/AddressFormat.h"

namespace bench {

namespace {

// Made in one allocation: the name is built a million times before anything is measured.
std::string HostNameAt(std::uint32_t index) {
  char digits[16];
  char* digitsEnd = std::to_chars(digits, digits + sizeof digits, index).ptr;
  std::string name;
  name.reserve(32);
  name.append(index % 16 == 0 ? "R&D-ws" : "ws");
  name.append(digits, static_cast<std::size_t>(digitsEnd - digits));
  name.append(".corp.example");
  return name;
}

}  // namespace

BenchLease BenchLeaseAt(std::uint32_t index) {
  return {HostNameAt(index),
          0x0A000000u + index,
          {0x00, 0x16, 0x3E, static_cast<std::uint8_t>(index >> 16),
           static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)}};
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
