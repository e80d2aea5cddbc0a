#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

namespace platform {
namespace {

struct InterfaceListDeleter {
  void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};

std::uint32_t HostOrderOf(const sockaddr* address) {
  return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

}  // namespace

std::vector<LocalIpv4Address> LocalIpv4Addresses() {
  ifaddrs* first = nullptr;
  if (::getifaddrs(&first) != 0) {
    return {};
  }
  std::unique_ptr<ifaddrs, InterfaceListDeleter> list(first);
  std::vector<LocalIpv4Address> addresses;
  for (const ifaddrs* entry = first; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
        entry->ifa_netmask == nullptr) {
      continue;
    }
    addresses.push_back({HostOrderOf(entry->ifa_addr), HostOrderOf(entry->ifa_netmask)});
  }
  return addresses;
}

}  // namespace platform
