#pragma once

#include <memory>

#include "platform/DhcpApi.h"

namespace lease {

// Own an array returned by the DHCP API and give every one of its blocks back to the API, as
// the API requires, whichever way the caller leaves.
struct DhcpIpArrayRelease {
  void operator()(DHCP_IP_ARRAY* array) const;
};
struct DhcpClientArrayRelease {
  void operator()(DHCP_CLIENT_INFO_ARRAY* array) const;
};

using DhcpIpArrayPtr = std::unique_ptr<DHCP_IP_ARRAY, DhcpIpArrayRelease>;
using DhcpClientArrayPtr = std::unique_ptr<DHCP_CLIENT_INFO_ARRAY, DhcpClientArrayRelease>;

}  // namespace lease
