#include "platform/serverfiles/HostNameText.h"

#include <cstddef>

namespace platform::serverfiles {
namespace {

// The length of the well-formed sequence that starts at `text[0]`, or 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continues = [&](std::size_t i, unsigned char low, unsigned char high) {
    return i < text.size() && byte(i) >= low && byte(i) <= high;
  };
  unsigned char lead = byte(0);
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return continues(1, 0x80, 0xBF) ? 2 : 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    // E0 would be overlong below A0; ED would be a surrogate from A0.
    unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : 0xBF;
    return continues(1, low, high) && continues(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    // F0 would be overlong below 90; F4 goes past U+10FFFF from 90.
    unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
    return continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string HostNameText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    std::size_t length = SequenceLength(bytes);
    if (length == 0) {
      text += '?';
      length = 1;
    } else {
      text.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  return text;
}

}  // namespace platform::serverfiles
