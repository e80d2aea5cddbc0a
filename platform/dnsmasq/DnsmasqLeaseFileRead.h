#pragma once

#include <string>

#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseTableSink.h"

namespace platform::dnsmasq {

// dnsmasq's lease file at `path`, from one whole state of it: dnsmasq truncates and rewrites the
// file in place, so a reading that may have crossed a rewrite is made again
// (sources::ReadLeaseFileWhenStill).
sources::LeaseTableRead ReadDnsmasqLeaseFile(const std::string& path,
                                             sources::LeaseFileAccess& access);

}  // namespace platform::dnsmasq
