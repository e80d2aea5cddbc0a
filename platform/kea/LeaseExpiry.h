#pragma once

#include <cstdint>

#include "platform/DhcpApi.h"

namespace platform::kea {

// The moment a lease expires, in the API's 100-nanosecond units since 1601-01-01 UTC; a lease
// that never expires (or would beyond what the type holds) gets the largest time.
DATE_TIME LeaseExpiry(std::uint64_t lastTransactionTime, std::uint32_t validLifetime);

}  // namespace platform::kea
