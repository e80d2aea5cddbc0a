// dhcpd's lease file, read in chunks as whole (ChunkedLeaseReading.h): no token, escape or
// comment is taken differently when a chunk ends inside it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ChunkedLeaseReading.h"
#include "platform/dhcpd/DhcpdLeaseFile.h"

namespace {
constexpr std::int64_t kNow = 1700000000;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  fuzz::CheckChunkedReading(file, platform::dhcpd::ParseDhcpdLeases(file, kNow),
                            platform::dhcpd::DhcpdLeaseReader(kNow));
  return 0;
}
