#include "platform/dhcpd/DhcpdLeaseFileRead.h"

#include "platform/dhcpd/DhcpdLeaseFile.h"
#include "platform/sources/LeaseTableSink.h"

namespace platform::dhcpd {

sources::LeaseTableRead ReadDhcpdLeaseFile(const std::string& path,
                                           sources::LeaseFileAccess& access, std::int64_t now) {
  sources::LeaseTableSink<DhcpdLeaseReader, std::int64_t> sink(now);
  return sink.Result(sources::ReadLeaseFileOnce(path, access, sink));
}

}  // namespace platform::dhcpd
