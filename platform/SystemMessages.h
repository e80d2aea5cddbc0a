#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's message text for an error code, as the system words it (line end included), at
// any length, or empty when it has none. On Windows the system's table is asked first, then the
// DHCP server API's own; elsewhere a table of the Windows texts for the statuses that our DHCP
// client returns.
std::string SystemMessageText(std::uint32_t code);

}  // namespace platform
