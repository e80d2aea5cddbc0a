#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's message text for an error code, as the system words it (line end included),
// or empty when it has none or it does not fit the 256-byte buffer.
std::string SystemMessageText(std::uint32_t code);

}  // namespace platform
