#pragma once

#include <cstdint>
#include <string>

#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseTable.h"

namespace platform::dhcpd {

struct DhcpdLeaseFileRead {
  sources::LeaseFileStatus status = sources::LeaseFileStatus::Read;
  sources::LeaseTable leases;  // when Read
};

// dhcpd's lease file at `path`, read once in chunks (dhcpd replaces it by rename and otherwise
// only appends, so the open file is whole up to where dhcpd had come). `now` as for
// DhcpdLeaseReader.
DhcpdLeaseFileRead ReadDhcpdLeaseFile(const std::string& path, sources::LeaseFileAccess& access,
                                      std::int64_t now);

}  // namespace platform::dhcpd
