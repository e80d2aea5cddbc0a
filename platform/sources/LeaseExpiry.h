#pragma once

#include <cstdint>
#include <optional>

#include "platform/DhcpApi.h"

namespace platform::sources {

// The moment a lease expires, given in seconds since 1970-01-01 UTC, in the API's 100-nanosecond
// units since 1601-01-01 UTC; a lease that never expires (nothing), or would beyond what the type
// holds, gets the largest time.
DATE_TIME LeaseExpiry(std::optional<std::uint64_t> expires);

}  // namespace platform::sources
