#include "platform/TextEncoding.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos`, advancing it; malformed input yields the replacement
// character for its first byte, as a strict decoder does.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  std::uint8_t lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length;
  char32_t value;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    std::uint8_t next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

void AppendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | (value >> 6));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0 | (value >> 12));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (value >> 18));
    out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

}  // namespace

std::u16string WideFromNarrow(std::string_view narrow) {
  std::u16string wide;
  wide.reserve(narrow.size());
  for (std::size_t pos = 0; pos < narrow.size();) {
    char32_t value = DecodeUtf8(narrow, pos);
    if (value >= 0x10000) {
      value -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (value >> 10));
      wide += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    } else {
      wide += static_cast<char16_t>(value);
    }
  }
  return wide;
}

std::string NarrowFromWide(std::u16string_view wide) {
  // Host names are nearly always ASCII: a million of them are converted unit for byte.
  std::string narrow(wide.size(), '\0');
  std::size_t ascii = 0;
  for (; ascii < wide.size() && wide[ascii] < 0x80; ++ascii) {
    narrow[ascii] = static_cast<char>(wide[ascii]);
  }
  if (ascii == wide.size()) {
    return narrow;
  }
  narrow.resize(ascii);
  for (std::size_t i = ascii; i < wide.size(); ++i) {
    char32_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      AppendUtf8(narrow, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(narrow, kReplacement);
    } else {
      AppendUtf8(narrow, unit);
    }
  }
  return narrow;
}

}  // namespace platform
