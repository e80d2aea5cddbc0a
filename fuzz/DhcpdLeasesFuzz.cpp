// dhcpd's lease file: fed in chunks of a size that the input's length picks (1 to 97 bytes), it
// reads exactly as it does whole, so that no token, escape or comment is taken differently when
// a chunk ends inside it; and what it gives is a table of the leases the API can carry.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "platform/dhcpd/DhcpdLeaseFile.h"
#include "platform/sources/Utf8Text.h"

namespace {

using platform::sources::LeaseTable;
using platform::sources::SourceLease;

constexpr std::int64_t kNow = 1700000000;

void CheckTable(const LeaseTable& table) {
  for (std::size_t i = 0; i < table.Size(); ++i) {
    SourceLease lease = table.At(i);
    FUZZ_CHECK(i == 0 || table.AddressAt(i - 1) < lease.address);
    FUZZ_CHECK(lease.hardwareAddress.size() <= platform::sources::kLongestHardwareAddress);
    // Already UTF-8 without NUL: the text of the text is itself.
    FUZZ_CHECK(platform::sources::HostNameText(lease.hostName) == lease.hostName);
  }
}

bool SameTables(const LeaseTable& a, const LeaseTable& b) {
  if (a.Size() != b.Size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.Size(); ++i) {
    if (!(a.At(i) == b.At(i))) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  std::optional<LeaseTable> whole = platform::dhcpd::ParseDhcpdLeases(file, kNow);

  const std::size_t chunk = size % 97 + 1;
  platform::dhcpd::DhcpdLeaseReader reader(kNow);
  for (std::size_t at = 0; at < size && reader.Take(file.substr(at, chunk)); at += chunk) {
  }
  std::optional<LeaseTable> chunked = std::move(reader).Finish();

  FUZZ_CHECK(whole.has_value() == chunked.has_value());
  if (whole) {
    CheckTable(*whole);
    FUZZ_CHECK(SameTables(*whole, *chunked));
  }
  return 0;
}
