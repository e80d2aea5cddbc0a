#pragma once

#include <cstdint>

namespace bench {

// Makes the scripted DHCP API serve records 0 to count - 1 of BenchLeaseAt as a server would:
// four subnets, each a quarter of the records in order, answered in batches of what fits in a
// 64 KB answer, every batch but a subnet's last ending in 234 (more data).
void ServeBenchRecords(std::uint32_t count);

}  // namespace bench
