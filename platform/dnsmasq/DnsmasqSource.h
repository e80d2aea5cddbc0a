#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/FileServerSource.h"

namespace platform::dnsmasq {

// The version that a dnsmasq source reports (no one is shown it): dnsmasq 2, whose lease file has
// kept one form through the 2.x releases.
inline constexpr sources::SourceVersion kDnsmasqVersion{2, 0};

// dnsmasq as a source of leases, from its configuration at the absolute `configPath` (through
// `files`, with the long options `commandLine` that dnsmasq is started with beside it) and the
// lease file that it names, read whole and still once per enumeration (ReadDnsmasqLeaseFile).
// Ranges without a netmask take it from the interfaces of this machine as they are at each
// reading, as dnsmasq does: the tool runs on the server.
std::unique_ptr<sources::FileServerSource> OpenDnsmasqSource(
    std::string configPath, sources::ConfigFiles files, std::vector<std::string> commandLine = {});

}  // namespace platform::dnsmasq
