#pragma once

#include <cstdint>
#include <string_view>

#include "lease/LeaseRecord.h"

namespace bench {

// The record of index i: host R&D-ws<i>.corp.example for every sixteenth index (so that escaping
// is exercised) and ws<i>.corp.example otherwise, address 10.0.0.0 + i, hardware address
// 00-16-3E followed by the low three bytes of i. Every benchmark program writes these, so that
// their outputs can be compared byte for byte.
struct BenchLease {
  std::string hostName;
  std::uint32_t ipAddress;  // host order
  std::uint8_t hardware[6];
};

BenchLease BenchLeaseAt(std::uint32_t index);

// The host name of record i, made in the buffer: for those who need it in another form than a
// string of its own, as the scripted server does.
using BenchNameBuffer = char[32];
std::string_view BenchHostNameAt(std::uint32_t index, BenchNameBuffer& buffer);
// Its hardware address.
void BenchHardwareAt(std::uint32_t index, std::uint8_t (&hardware)[6]);

// The record as the lease query makes it.
lease::_DHCPUnit BenchRecordAt(std::uint32_t index);

// Records 0 to count - 1, in order.
lease::LeaseList BenchRecords(std::uint32_t count);

}  // namespace bench
