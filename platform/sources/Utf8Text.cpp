#include "platform/sources/Utf8Text.h"

#include <cstdint>

namespace platform::sources {
namespace {

// The sequence length that a lead byte announces, and the range its second byte must lie in so
// that the sequence is neither overlong, nor a surrogate, nor above U+10FFFF (RFC 3629).
struct Lead {
  std::size_t length;
  std::uint8_t secondLow;
  std::uint8_t secondHigh;
};

Lead LeadOf(std::uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) {
    return {2, 0x80, 0xBF};
  }
  if (byte == 0xE0) {
    return {3, 0xA0, 0xBF};
  }
  if (byte == 0xED) {
    return {3, 0x80, 0x9F};
  }
  if (byte >= 0xE1 && byte <= 0xEF) {
    return {3, 0x80, 0xBF};
  }
  if (byte == 0xF0) {
    return {4, 0x90, 0xBF};
  }
  if (byte >= 0xF1 && byte <= 0xF3) {
    return {4, 0x80, 0xBF};
  }
  if (byte == 0xF4) {
    return {4, 0x80, 0x8F};
  }
  return {0, 0, 0};
}

bool IsContinuation(std::uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid sequence at the start of `text`, or 0 when it does not start with one.
std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  if (byte(0) < 0x80) {
    return 1;
  }
  Lead lead = LeadOf(byte(0));
  if (lead.length == 0 || text.size() < lead.length || byte(1) < lead.secondLow ||
      byte(1) > lead.secondHigh) {
    return 0;
  }
  for (std::size_t i = 2; i < lead.length; ++i) {
    if (!IsContinuation(byte(i))) {
      return 0;
    }
  }
  return lead.length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    std::size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      return false;
    }
    text.remove_prefix(length);
  }
  return true;
}

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  while (!text.empty()) {
    std::size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      valid += '?';
      length = 1;
    } else {
      valid.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return valid;
}

std::string HostNameText(std::string_view bytes) {
  return ValidUtf8(bytes.substr(0, bytes.find('\0')));
}

}  // namespace platform::sources
