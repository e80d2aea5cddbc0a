#include "xmldom/BlockText.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

#include "xmldom/BlockPool.h"
#include "xmldom/EscapeXmlText.h"

namespace xmldom {
namespace {

std::uint32_t CheckedSize(std::size_t size, std::size_t largest) {
  if (size > largest) {
    throw std::bad_alloc();
  }
  return static_cast<std::uint32_t>(size);
}

}  // namespace

void TBlockText::Assign(std::string_view text) {
  constexpr std::size_t kLargestEscaped = (std::size_t{1} << 31) - 1;
  const std::uint32_t size = CheckedSize(text.size(), std::numeric_limits<std::uint32_t>::max());
  const TEscapedMeasure escaped = MeasureEscapedXmlText(text);
  const std::uint32_t escapedSize = CheckedSize(escaped.Length, kLargestEscaped);
  char* data = nullptr;
  if (size > 0) {
    data = static_cast<char*>(AllocateBlock(size));
    std::copy(text.begin(), text.end(), data);
  }
  Free();
  data_ = data;
  size_ = size;
  escapedSize_ = escapedSize;
  writtenAsItIs_ = escaped.Unchanged ? 1 : 0;
}

void TBlockText::Free() noexcept {
  if (data_ != nullptr) {
    FreeBlock(std::exchange(data_, nullptr), size_);
  }
  size_ = 0;
  escapedSize_ = 0;
  writtenAsItIs_ = 1;
}

}  // namespace xmldom
