#include "bench/BenchRecords.h"

#include <string>

#include "lease/AddressFormat.h"

namespace bench {

BenchLease BenchLeaseAt(std::uint32_t index) {
  const std::string number = std::to_string(index);
  BenchLease lease{(index % 16 == 0 ? "R&D-ws" : "ws") + number + ".corp.example",
                   0x0A000000u + index,
                   {0x00, 0x16, 0x3E, static_cast<std::uint8_t>(index >> 16),
                    static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)}};
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
