#pragma once

// The DHCP Server Management API in the shape of the Windows system library: the same function
// names, status codes, resume handles, arrays and free function. On Windows the calls bind to the
// system's dhcpsapi; on Linux to our client of a Kea server; in tests to a scripted fake.
//
// Every block that a call returns is freed on its own with DhcpRpcFreeMemory: an array, the
// element storage it points to, each client record, and each string and byte buffer of a client.

#include <cstdint>

#include "platform/DhcpStatus.h"

#if defined(_WIN32)
#define DHCP_API_CALL __stdcall
#else
#define DHCP_API_CALL
#endif

extern "C" {

using DHCP_IP_ADDRESS = std::uint32_t;  // host byte order
using DHCP_IP_MASK = std::uint32_t;
using DHCP_RESUME_HANDLE = std::uint32_t;

struct DHCP_IP_ARRAY {
  std::uint32_t NumElements;
  DHCP_IP_ADDRESS* Elements;
};

struct DHCP_BINARY_DATA {
  std::uint32_t DataLength;
  std::uint8_t* Data;
};
using DHCP_CLIENT_UID = DHCP_BINARY_DATA;

// 100-nanosecond intervals since 1601-01-01 UTC, split in two halves.
struct DATE_TIME {
  std::uint32_t dwLowDateTime;
  std::uint32_t dwHighDateTime;
};

struct DHCP_HOST_INFO {
  DHCP_IP_ADDRESS IpAddress;
  char16_t* NetBiosName;
  char16_t* HostName;
};

struct DHCP_CLIENT_INFO {
  DHCP_IP_ADDRESS ClientIpAddress;
  DHCP_IP_MASK SubnetMask;
  DHCP_CLIENT_UID ClientHardwareAddress;
  char16_t* ClientName;  // may be null
  char16_t* ClientComment;
  DATE_TIME ClientLeaseExpires;
  DHCP_HOST_INFO OwnerHost;
};

struct DHCP_CLIENT_INFO_ARRAY {
  std::uint32_t NumElements;
  DHCP_CLIENT_INFO** Clients;
};

std::uint32_t DHCP_API_CALL DhcpGetVersion(char16_t* ServerIpAddress, std::uint32_t* MajorVersion,
                                           std::uint32_t* MinorVersion);

std::uint32_t DHCP_API_CALL DhcpEnumSubnets(char16_t* ServerIpAddress,
                                            DHCP_RESUME_HANDLE* ResumeHandle,
                                            std::uint32_t PreferredMaximum,
                                            DHCP_IP_ARRAY** EnumInfo, std::uint32_t* ElementsRead,
                                            std::uint32_t* ElementsTotal);

std::uint32_t DHCP_API_CALL DhcpEnumSubnetClients(
    char16_t* ServerIpAddress, DHCP_IP_ADDRESS SubnetAddress, DHCP_RESUME_HANDLE* ResumeHandle,
    std::uint32_t PreferredMaximum, DHCP_CLIENT_INFO_ARRAY** ClientInfo, std::uint32_t* ClientsRead,
    std::uint32_t* ClientsTotal);

void DHCP_API_CALL DhcpRpcFreeMemory(void* BufferPointer);

}  // extern "C"

// Passed as PreferredMaximum: ask for everything in one answer.
inline constexpr std::uint32_t kDhcpPreferredMaximum = 0xFFFFFFFF;
