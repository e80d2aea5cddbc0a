// dnsmasq's lease file, read in chunks as whole (ChunkedLeaseReading.h): no line is taken
// differently when a chunk ends inside it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ChunkedLeaseReading.h"
#include "platform/dnsmasq/DnsmasqLeaseFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  fuzz::CheckChunkedReading(file, platform::dnsmasq::ParseDnsmasqLeases(file),
                            platform::dnsmasq::DnsmasqLeaseReader());
  return 0;
}
