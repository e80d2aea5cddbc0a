#pragma once

#include <cstdint>
#include <string>

#include "platform/serverfiles/LeaseFileRead.h"
#include "platform/serverfiles/LeaseTable.h"

namespace platform::dhcpd {

struct DhcpdLeaseFileRead {
  serverfiles::LeaseFileStatus status = serverfiles::LeaseFileStatus::Read;
  serverfiles::LeaseTable leases;  // when Read
};

// dhcpd's lease file at `path`, read once in chunks (dhcpd replaces it by rename and otherwise
// only appends, so the open file is whole up to where dhcpd had come). `now` as for
// DhcpdLeaseReader.
DhcpdLeaseFileRead ReadDhcpdLeaseFile(const std::string& path, serverfiles::LeaseFileAccess& access,
                                      std::int64_t now);

}  // namespace platform::dhcpd
