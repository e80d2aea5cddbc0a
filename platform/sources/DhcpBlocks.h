#pragma once

#include <cstdint>
#include <span>

#include "platform/DhcpApi.h"
#include "platform/sources/LeaseSource.h"

namespace platform::sources {

// The arrays that the DHCP API hands to its caller. Each block (an array, its element storage,
// each client record, each string and byte buffer) is allocated on its own and given back with
// FreeDhcpBlock, as DhcpRpcFreeMemory does. An empty list has no element storage (null). When
// memory runs out, what was built is freed and std::bad_alloc thrown.

DHCP_IP_ARRAY* NewIpArray(std::span<const DHCP_IP_ADDRESS> addresses);

// One client record per lease; all of them carry the subnet's mask. A lease without a host name
// has a null ClientName, one without hardware address a null Data. A host name's bytes that are
// not UTF-8 become '?' (ValidUtf8).
DHCP_CLIENT_INFO_ARRAY* NewClientArray(std::span<const SourceLease> leases, DHCP_IP_MASK mask);

// The same with each lease's own mask, masks[i] for leases[i].
DHCP_CLIENT_INFO_ARRAY* NewClientArray(std::span<const SourceLease> leases,
                                       std::span<const DHCP_IP_MASK> masks);

void FreeDhcpBlock(void* block);

}  // namespace platform::sources
