#pragma once

#include <cstdint>
#include <string>

namespace lease {

// 192.168.0.1 for the host-order value 0xC0A80001.
std::string FormatIpAddress(std::uint32_t address);

// 00-1A-2B-3C-4D-5E; an empty text for no bytes.
std::string FormatHardwareAddress(std::uint32_t length, const std::uint8_t* bytes);

}  // namespace lease
