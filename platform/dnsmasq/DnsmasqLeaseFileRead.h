#pragma once

#include <string>

#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseTable.h"

namespace platform::dnsmasq {

struct DnsmasqLeaseFileRead {
  sources::LeaseFileStatus status = sources::LeaseFileStatus::Read;
  sources::LeaseTable leases;  // when Read
};

// dnsmasq's lease file at `path`, from one whole state of it: dnsmasq truncates and rewrites the
// file in place, so a reading that may have crossed a rewrite is made again
// (sources::ReadLeaseFileWhenStill).
DnsmasqLeaseFileRead ReadDnsmasqLeaseFile(const std::string& path,
                                          sources::LeaseFileAccess& access);

}  // namespace platform::dnsmasq
