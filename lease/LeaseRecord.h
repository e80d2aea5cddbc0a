#pragma once

#include <string>
#include <vector>

namespace lease {

// One lease as the result files show it; all three are narrow strings.
struct _DHCPUnit {
  std::string HostName;
  std::string IpAddress;   // dotted decimal
  std::string MacAddress;  // hyphen-separated upper-case hexadecimal pairs
};

// The run's leases in the order in which the server returned them.
using LeaseList = std::vector<_DHCPUnit>;

}  // namespace lease
