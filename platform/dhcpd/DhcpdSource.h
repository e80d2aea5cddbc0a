#pragma once

#include <memory>
#include <string>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/FileServerSource.h"

namespace platform::dhcpd {

// The version that a dhcpd source reports (no one is shown it): ISC DHCP 4.4, the last release
// line (4.4.3, end of life since 2022), whose configuration and lease files these readers take.
inline constexpr sources::SourceVersion kDhcpdVersion{4, 4};

// ISC dhcpd as a source of leases, from its configuration at the absolute `configPath` (through
// `files`) and the lease file that it names, read once per enumeration (ReadDhcpdLeaseFile).
std::unique_ptr<sources::FileServerSource> OpenDhcpdSource(std::string configPath,
                                                           sources::ConfigFiles files);

}  // namespace platform::dhcpd
