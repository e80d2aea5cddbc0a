#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform::dnsmasq {

// One `dhcp-range=` value: `[tag:T,...][set:T,]START,END|static|proxy[,NETMASK[,BROADCAST]]
// [,LEASE-TIME]` (dnsmasq(8)); a mode word may also stand between END and the netmask.
struct DhcpRange {
  enum class Kind {
    Ipv4,
    NotIpv4,    // an IPv6 range: not read
    Malformed,  // dnsmasq refuses it at start
  };
  Kind kind = Kind::Malformed;
  std::uint32_t start = 0;  // host order; start <= end, as dnsmasq orders them
  std::uint32_t end = 0;
  std::optional<std::uint32_t> netmask;
};

// The leading fields that hold no address are tags, as dnsmasq tells them: a field with a byte
// other than hex digits, `.`, `:` and spaces, followed by another field.
DhcpRange ParseDhcpRange(std::string_view value);

}  // namespace platform::dnsmasq
