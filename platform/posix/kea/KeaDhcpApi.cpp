#include "platform/DhcpApi.h"

// Placeholder until the Kea client lands: every server is unreachable.
extern "C" {
std::uint32_t DhcpGetVersion(char16_t*, std::uint32_t*, std::uint32_t*) {
  return dhcp_status::kRpcServerUnavailable;
}
std::uint32_t DhcpEnumSubnets(char16_t*, DHCP_RESUME_HANDLE*, std::uint32_t, DHCP_IP_ARRAY**,
                              std::uint32_t*, std::uint32_t*) {
  return dhcp_status::kRpcServerUnavailable;
}
std::uint32_t DhcpEnumSubnetClients(char16_t*, DHCP_IP_ADDRESS, DHCP_RESUME_HANDLE*, std::uint32_t,
                                    DHCP_CLIENT_INFO_ARRAY**, std::uint32_t*, std::uint32_t*) {
  return dhcp_status::kRpcServerUnavailable;
}
void DhcpRpcFreeMemory(void*) {}
}
