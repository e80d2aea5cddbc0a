#include "platform/win32/ConsoleText.h"

#include "platform/TextEncoding.h"

namespace platform {

std::string ConsoleTextDecoder::Decode(std::u16string_view units) {
  std::u16string text = std::move(held_);
  held_.clear();
  text.append(units);
  if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
    held_ = text.back();
    text.pop_back();
  }
  return NarrowFromWide(text);
}

}  // namespace platform
