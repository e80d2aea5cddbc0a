#pragma once

#include <cstdint>
#include <span>

#include "platform/DhcpApi.h"
#include "platform/posix/kea/KeaReply.h"

namespace platform::kea {

// The arrays that the DHCP API hands to its caller. Each block (an array, its element storage,
// each client record, each string and byte buffer) is allocated on its own and given back with
// FreeDhcpBlock, as DhcpRpcFreeMemory does. An empty list has no element storage (null). When
// memory runs out, what was built is freed and std::bad_alloc thrown.

DHCP_IP_ARRAY* NewIpArray(std::span<const DHCP_IP_ADDRESS> addresses);

// One client record per lease; all of them carry the subnet's mask. A lease without a host name
// has a null ClientName, one without hardware address a null Data.
DHCP_CLIENT_INFO_ARRAY* NewClientArray(std::span<const KeaLease> leases, DHCP_IP_MASK mask);

void FreeDhcpBlock(void* block);

// The moment a lease expires, in the API's 100-nanosecond units since 1601-01-01 UTC; a lease
// that never expires (or would beyond what the type holds) gets the largest time.
DATE_TIME LeaseExpiry(std::uint64_t lastTransactionTime, std::uint32_t validLifetime);

}  // namespace platform::kea
