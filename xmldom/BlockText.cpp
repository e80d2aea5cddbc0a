#include "xmldom/BlockText.h"

#include <algorithm>
#include <utility>

#include "xmldom/BlockPool.h"

namespace xmldom {

void TBlockText::Assign(std::string_view text) {
  char* data = nullptr;
  if (!text.empty()) {
    data = static_cast<char*>(AllocateBlock(text.size()));
    std::copy(text.begin(), text.end(), data);
  }
  Free();
  data_ = data;
  size_ = text.size();
}

void TBlockText::Free() noexcept {
  if (data_ != nullptr) {
    FreeBlock(std::exchange(data_, nullptr), size_);
  }
  size_ = 0;
}

}  // namespace xmldom
