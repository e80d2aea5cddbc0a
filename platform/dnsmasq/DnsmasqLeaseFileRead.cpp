#include "platform/dnsmasq/DnsmasqLeaseFileRead.h"

#include "platform/dnsmasq/DnsmasqLeaseFile.h"
#include "platform/sources/LeaseTableSink.h"

namespace platform::dnsmasq {

sources::LeaseTableRead ReadDnsmasqLeaseFile(const std::string& path,
                                             sources::LeaseFileAccess& access) {
  sources::LeaseTableSink<DnsmasqLeaseReader> sink;
  return sink.Result(sources::ReadLeaseFileWhenStill(path, access, sink));
}

}  // namespace platform::dnsmasq
