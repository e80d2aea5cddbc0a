#pragma once

#include <string>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::dhcpd {

inline constexpr char kDefaultLeaseFile[] = "/var/lib/dhcp/dhcpd.leases";

struct DhcpdConfig {
  // Every `subnet A netmask M { ... }`, at the top, in a `shared-network` or in a `group`, in the
  // order of the configuration with its includes in place; a network given twice is there once.
  std::vector<sources::Ipv4Prefix> subnets;
  // The last `lease-file-name` of the outer scope (where alone dhcpd heeds it), else the default.
  std::string leaseFile = kDefaultLeaseFile;
  // The last `pid-file-name` of the outer scope; empty when there is none.
  std::string pidFile;
};

struct DhcpdConfigRead {
  sources::ConfigProblem problem = sources::ConfigProblem::None;
  DhcpdConfig config;  // when problem is None
};

// dhcpd's configuration (dhcpd.conf(5)) at the absolute `path`, with every `include "FILE";`
// read in place. Only what names subnets and the lease file is looked at; every other statement
// and block is skipped. Malformed: braces that do not pair, a statement without its `;` at the
// end of a file, an unended string, an include or subnet not of dhcpd's form, a subnet number
// with bits outside its mask or a mask whose bits do not run together, all of which dhcpd
// refuses at start.
DhcpdConfigRead ReadDhcpdConfig(const std::string& path, const sources::ConfigFiles& files);

}  // namespace platform::dhcpd
