#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DhcpApi.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::kea {

// The decoding of Kea's answers to control commands, whichever transport brought them (the body
// of an HTTP answer, or what kea-dhcp4 wrote on its UNIX socket before closing it): the JSON text
// in, the values the Kea source needs and a DHCP API status out. The control agent answers with a
// list holding one answer {"result": n, "text": ..., "arguments": ...}; kea-dhcp4 itself (its
// UNIX socket, and its own HTTP socket in newer Kea) with the bare answer object, which is taken
// as well. Whatever the text holds, these never crash: a text that is not the answer described
// gives dhcp_status::kInvalidData.

struct KeaVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

struct KeaSubnet {
  std::uint32_t id = 0;
  sources::Ipv4Prefix prefix;
};

struct KeaLease {
  std::uint32_t address = 0;
  std::uint32_t subnetId = 0;
  std::vector<std::uint8_t> hardwareAddress;
  std::string hostName;                   // UTF-8; empty when the lease has none
  std::uint64_t lastTransactionTime = 0;  // "cltt": seconds since 1970-01-01 UTC
  std::uint32_t validLifetime = 0;        // seconds; kInfiniteLifetime never expires
};

inline constexpr std::uint32_t kInfiniteLifetime = 0xFFFFFFFF;

template <typename Value>
struct KeaReply {
  std::uint32_t status = dhcp_status::kInvalidData;
  Value value{};  // meaningful only when status is kSuccess
};

// The DHCP API status of a Kea result code: 0 success, 2 (command not supported, e.g. the hook
// that serves it is not loaded) not supported, 401 access denied, anything else invalid data. The
// decoders take one answer further: the agent's result 1 "unable to forward command to the ..."
// (the server behind it is not running) is kRpcServerUnavailable.
std::uint32_t StatusOfKeaResult(std::int64_t result);

// version-get: major and minor version from the answer's text, such as "2.2.0".
KeaReply<KeaVersion> DecodeVersionReply(const std::string& body);

// config-get: every entry of Dhcp4.subnet4, then those of each Dhcp4.shared-networks[].subnet4.
KeaReply<std::vector<KeaSubnet>> DecodeSubnetsReply(const std::string& body);

// lease4-get-page (or lease4-get-all): the leases in the order given, each with its subnet id;
// result 3 (no leases) is success with none.
KeaReply<std::vector<KeaLease>> DecodeLeasesReply(const std::string& body);

}  // namespace platform::kea
