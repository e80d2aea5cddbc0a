#pragma once

#include <string>

#include "platform/serverfiles/LeaseFileRead.h"
#include "platform/serverfiles/LeaseTable.h"

namespace platform::dnsmasq {

struct DnsmasqLeaseFileRead {
  serverfiles::LeaseFileStatus status = serverfiles::LeaseFileStatus::Read;
  serverfiles::LeaseTable leases;  // when Read
};

// dnsmasq's lease file at `path`, from one whole state of it: dnsmasq truncates and rewrites the
// file in place, so a reading that may have crossed a rewrite is made again
// (serverfiles::ReadLeaseFileWhenStill).
DnsmasqLeaseFileRead ReadDnsmasqLeaseFile(const std::string& path,
                                          serverfiles::LeaseFileAccess& access);

}  // namespace platform::dnsmasq
