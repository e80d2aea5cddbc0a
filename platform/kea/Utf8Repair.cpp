#include "platform/kea/Utf8Repair.h"

#include <simdjson.h>

#include <algorithm>
#include <optional>

namespace platform::kea {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The code points of valid UTF-8 text as bytes, or nothing when one is 256 or above. Code
// points 128 to 255 are exactly the two-byte sequences with lead byte C2 or C3.
std::optional<std::string> CodePointsAsBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else if ((lead == 0xC2 || lead == 0xC3) && i + 1 < text.size()) {
      auto next = static_cast<unsigned char>(text[++i]);
      bytes += static_cast<char>(((lead & 0x03) << 6) | (next & 0x3F));
    } else {
      return std::nullopt;
    }
  }
  return bytes;
}

}  // namespace

std::string RepairByteEscapedUtf8(std::string_view decoded) {
  if (IsAscii(decoded) || !simdjson::validate_utf8(decoded.data(), decoded.size())) {
    return std::string(decoded);
  }
  std::optional<std::string> bytes = CodePointsAsBytes(decoded);
  if (!bytes || !simdjson::validate_utf8(bytes->data(), bytes->size())) {
    return std::string(decoded);
  }
  return *std::move(bytes);
}

}  // namespace platform::kea
