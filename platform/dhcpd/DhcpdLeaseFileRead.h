#pragma once

#include <cstdint>
#include <string>

#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseTableSink.h"

namespace platform::dhcpd {

// dhcpd's lease file at `path`, read once in chunks (dhcpd replaces it by rename and otherwise
// only appends, so the open file is whole up to where dhcpd had come). `now` as for
// DhcpdLeaseReader.
sources::LeaseTableRead ReadDhcpdLeaseFile(const std::string& path,
                                           sources::LeaseFileAccess& access, std::int64_t now);

}  // namespace platform::dhcpd
