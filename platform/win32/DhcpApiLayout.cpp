// Our declaration of the DHCP API must match the system's byte for byte, or the lease query would
// read the arrays that dhcpsapi returns at the wrong offsets. The system header is included here
// only, with its names renamed so that both declarations can stand side by side.

#include <windows.h>

#include <cstddef>

#include "platform/DhcpApi.h"

#define DHCP_IP_ADDRESS SystemDhcpIpAddress
#define DHCP_IP_MASK SystemDhcpIpMask
#define DHCP_RESUME_HANDLE SystemDhcpResumeHandle
#define DHCP_IP_ARRAY SystemDhcpIpArray
#define DHCP_BINARY_DATA SystemDhcpBinaryData
#define DHCP_CLIENT_UID SystemDhcpClientUid
#define DATE_TIME SystemDateTime
#define DHCP_HOST_INFO SystemDhcpHostInfo
#define DHCP_CLIENT_INFO SystemDhcpClientInfo
#define DHCP_CLIENT_INFO_ARRAY SystemDhcpClientInfoArray
#define DhcpGetVersion SystemDhcpGetVersion
#define DhcpEnumSubnets SystemDhcpEnumSubnets
#define DhcpEnumSubnetClients SystemDhcpEnumSubnetClients
#define DhcpRpcFreeMemory SystemDhcpRpcFreeMemory

// MinGW-w64's header defines struct _DHCP_BINARY_DATA a second time for Vista and later; the
// structures needed here are older than that.
#pragma push_macro("_WIN32_WINNT")
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0502
#include <dhcpsapi.h>
#pragma pop_macro("_WIN32_WINNT")

#undef DHCP_IP_ADDRESS
#undef DHCP_IP_MASK
#undef DHCP_RESUME_HANDLE
#undef DHCP_IP_ARRAY
#undef DHCP_BINARY_DATA
#undef DHCP_CLIENT_UID
#undef DATE_TIME
#undef DHCP_HOST_INFO
#undef DHCP_CLIENT_INFO
#undef DHCP_CLIENT_INFO_ARRAY
#undef DhcpGetVersion
#undef DhcpEnumSubnets
#undef DhcpEnumSubnetClients
#undef DhcpRpcFreeMemory

namespace {

// The calls pass these by pointer, so their sizes must agree as well as the records'.
static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
static_assert(sizeof(WCHAR) == sizeof(char16_t));
static_assert(sizeof(DHCP_IP_ADDRESS) == sizeof(SystemDhcpIpAddress));
static_assert(sizeof(DHCP_RESUME_HANDLE) == sizeof(SystemDhcpResumeHandle));

#define SAME_RECORD(Ours, System) \
  static_assert(sizeof(Ours) == sizeof(System) && alignof(Ours) == alignof(System), #Ours)
#define SAME_FIELD(Ours, System, field)                             \
  static_assert(offsetof(Ours, field) == offsetof(System, field) && \
                    sizeof(Ours::field) == sizeof(System::field),   \
                #Ours "::" #field)

SAME_RECORD(DHCP_IP_ARRAY, SystemDhcpIpArray);
SAME_FIELD(DHCP_IP_ARRAY, SystemDhcpIpArray, NumElements);
SAME_FIELD(DHCP_IP_ARRAY, SystemDhcpIpArray, Elements);

SAME_RECORD(DHCP_BINARY_DATA, SystemDhcpBinaryData);
SAME_FIELD(DHCP_BINARY_DATA, SystemDhcpBinaryData, DataLength);
SAME_FIELD(DHCP_BINARY_DATA, SystemDhcpBinaryData, Data);

SAME_RECORD(DATE_TIME, SystemDateTime);
SAME_FIELD(DATE_TIME, SystemDateTime, dwLowDateTime);
SAME_FIELD(DATE_TIME, SystemDateTime, dwHighDateTime);

SAME_RECORD(DHCP_HOST_INFO, SystemDhcpHostInfo);
SAME_FIELD(DHCP_HOST_INFO, SystemDhcpHostInfo, IpAddress);
SAME_FIELD(DHCP_HOST_INFO, SystemDhcpHostInfo, NetBiosName);
SAME_FIELD(DHCP_HOST_INFO, SystemDhcpHostInfo, HostName);

SAME_RECORD(DHCP_CLIENT_INFO, SystemDhcpClientInfo);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, ClientIpAddress);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, SubnetMask);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, ClientHardwareAddress);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, ClientName);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, ClientComment);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, ClientLeaseExpires);
SAME_FIELD(DHCP_CLIENT_INFO, SystemDhcpClientInfo, OwnerHost);

SAME_RECORD(DHCP_CLIENT_INFO_ARRAY, SystemDhcpClientInfoArray);
SAME_FIELD(DHCP_CLIENT_INFO_ARRAY, SystemDhcpClientInfoArray, NumElements);
SAME_FIELD(DHCP_CLIENT_INFO_ARRAY, SystemDhcpClientInfoArray, Clients);

}  // namespace
