#pragma once

#include <cstdint>

// Every status code of the Windows API that the lease query, the system message texts and our
// implementations of the DHCP API use, named once.
namespace dhcp_status {
inline constexpr std::uint32_t kSuccess = 0;                  // ERROR_SUCCESS
inline constexpr std::uint32_t kFileNotFound = 2;             // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kAccessDenied = 5;             // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t kInvalidData = 13;             // ERROR_INVALID_DATA
inline constexpr std::uint32_t kNotSupported = 50;            // ERROR_NOT_SUPPORTED
inline constexpr std::uint32_t kInvalidParameter = 87;        // ERROR_INVALID_PARAMETER
inline constexpr std::uint32_t kMoreData = 234;               // ERROR_MORE_DATA
inline constexpr std::uint32_t kOpenFailed = 110;             // ERROR_OPEN_FAILED
inline constexpr std::uint32_t kNoMoreItems = 259;            // ERROR_NO_MORE_ITEMS
inline constexpr std::uint32_t kTimeout = 1460;               // ERROR_TIMEOUT
inline constexpr std::uint32_t kRpcServerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE
inline constexpr std::uint32_t kSubnetNotPresent = 20005;     // ERROR_DHCP_SUBNET_NOT_PRESENT

// Every status that our implementation of the DHCP API returns: each must have a message text,
// or its error line would say nothing after "Error: ".
inline constexpr std::uint32_t kReturnedByDhcpApi[] = {
    kSuccess,      kFileNotFound,         kAccessDenied,     kInvalidData,
    kNotSupported, kOpenFailed,           kInvalidParameter, kMoreData,
    kNoMoreItems,  kRpcServerUnavailable, kSubnetNotPresent, kTimeout};
}  // namespace dhcp_status
