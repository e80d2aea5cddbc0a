#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/LocalAddresses.h"
#include "platform/sources/ConfigFiles.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::dnsmasq {

inline constexpr char kDefaultLeaseFile[] = "/var/lib/misc/dnsmasq.leases";

struct DnsmasqConfig {
  // The network of each IPv4 `dhcp-range`, in the order of the configuration with its included
  // files in place; a network given twice is there once.
  std::vector<sources::Ipv4Prefix> subnets;
  // The last `dhcp-leasefile`, else the default.
  std::string leaseFile = kDefaultLeaseFile;
  // The last `pid-file` that names one; empty when there is none.
  std::string pidFile;
};

struct DnsmasqConfigRead {
  sources::ConfigProblem problem = sources::ConfigProblem::None;
  DnsmasqConfig config;  // when problem is None
};

// dnsmasq's configuration file (dnsmasq(8)) at the absolute `path`: one option a line, `#`
// comments at the start of a line or after white space, `"` quotes with dnsmasq's escapes.
// `conf-file=FILE` and `conf-dir=DIR[,SUFFIX...]` are read where they stand, as dnsmasq reads
// them: a file read before (the same file by another path too) is not read again; a folder's
// files go in byte order of their names, without names that start with `.`, end with `~` or
// start and end with `#` (editor files), without those with a suffix given plainly and, when
// some are given with a `*` (`*.conf`), with only names that end in one of those (and are longer
// than it); folders in it are passed over.
//
// A range's network is its start under its netmask; without a netmask, that of the first local
// address whose network holds the whole range (`interfaces`), as dnsmasq decides: a range that
// none holds is served on no interface and is no subnet. A netmask whose bits do not run
// together gives no subnet either. Malformed: an unended quote, a `dhcp-range` that dnsmasq
// refuses.
//
// `commandLine`: long options given to dnsmasq beside the file, without their `--`
// ("conf-dir=/etc/dnsmasq.d,.dpkg-dist"), read after it.
DnsmasqConfigRead ReadDnsmasqConfig(const std::string& path, const sources::ConfigFiles& files,
                                    std::span<const LocalIpv4Address> interfaces,
                                    std::span<const std::string> commandLine = {});

}  // namespace platform::dnsmasq
