#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::sources {

// The texts in which the servers write addresses (Kea's JSON, the lease and configuration files
// of dhcpd and dnsmasq), read strictly: anything else is not an address.

// "a.b.c.d" with four decimal numbers of at most three digits, each up to 255; the value is in
// host order, the first number most significant.
std::optional<std::uint32_t> ParseIpv4Address(std::string_view text);

struct Ipv4Prefix {
  std::uint32_t address = 0;
  std::uint8_t length = 0;
};

// The dotted-decimal text of a host-order address, as ParseIpv4Address reads it.
std::string FormatIpv4Address(std::uint32_t address);

// "a.b.c.d/n" with n from 0 to 32.
std::optional<Ipv4Prefix> ParseIpv4Prefix(std::string_view text);

// The netmask of a prefix length from 0 to 32, in host order.
std::uint32_t MaskOfPrefixLength(std::uint8_t length);

// The prefix length of a netmask (host order) whose one bits run together from the top; none
// for any other mask, which no prefix names.
std::optional<std::uint8_t> PrefixLengthOfNetmask(std::uint32_t mask);

// The prefix without host bits: "10.0.0.100/24" is 10.0.0.0/24.
Ipv4Prefix NetworkOf(Ipv4Prefix prefix);

// The last address of a prefix (its broadcast address; the prefix's own for a /32).
std::uint32_t LastAddressOf(Ipv4Prefix prefix);

// The value of a hexadecimal digit in either case, -1 for any other byte.
int HexValue(char c);

// Hexadecimal bytes of one or two digits joined by colons, as in "00:16:3e:0a:0b:0c"; the empty
// text is the empty address.
std::optional<std::vector<std::uint8_t>> ParseHardwareAddress(std::string_view text);
// The same into `bytes` without allocating: the count, or none when the text is not of that form
// or holds more bytes than fit.
std::optional<std::size_t> ParseHardwareAddress(std::string_view text,
                                                std::span<std::uint8_t> bytes);

}  // namespace platform::sources
