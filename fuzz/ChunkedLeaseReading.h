#pragma once

// What both lease file fuzzers check: fed in chunks of a size that the input's length picks (1 to
// 97 bytes), a reader reads a file exactly as it does whole, so that nothing is taken differently
// when a chunk ends inside it; and what it gives is a table of the leases the API can carry.

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "FuzzCheck.h"
#include "platform/sources/LeaseTable.h"
#include "platform/sources/Utf8Text.h"

namespace fuzz {

inline void CheckTable(const platform::sources::LeaseTable& table) {
  for (std::size_t i = 0; i < table.Size(); ++i) {
    platform::sources::SourceLease lease = table.At(i);
    FUZZ_CHECK(i == 0 || table.AddressAt(i - 1) < lease.address);
    FUZZ_CHECK(lease.hardwareAddress.size() <= platform::sources::kLongestHardwareAddress);
    // Already UTF-8 without NUL: the text of the text is itself.
    FUZZ_CHECK(platform::sources::HostNameText(lease.hostName) == lease.hostName);
  }
}

inline bool SameTables(const platform::sources::LeaseTable& a,
                       const platform::sources::LeaseTable& b) {
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

// `whole` is the file read in one piece; `reader` a fresh reader for the chunks.
template <typename Reader>
void CheckChunkedReading(std::string_view file,
                         const std::optional<platform::sources::LeaseTable>& whole, Reader reader) {
  const std::size_t chunk = file.size() % 97 + 1;
  for (std::size_t at = 0; at < file.size() && reader.Take(file.substr(at, chunk)); at += chunk) {
  }
  std::optional<platform::sources::LeaseTable> chunked = std::move(reader).Finish();

  FUZZ_CHECK(whole.has_value() == chunked.has_value());
  if (whole) {
    CheckTable(*whole);
    FUZZ_CHECK(SameTables(*whole, *chunked));
  }
}

}  // namespace fuzz
