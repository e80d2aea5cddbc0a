#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// An IPv4 address of a local interface with its netmask, both in host order.
struct LocalIpv4Address {
  std::uint32_t address = 0;
  std::uint32_t netmask = 0;
};

// Every IPv4 address of the interfaces of this machine (of its network namespace), in the order
// the system lists them; none when they cannot be listed. Only the POSIX build has it.
std::vector<LocalIpv4Address> LocalIpv4Addresses();

}  // namespace platform
