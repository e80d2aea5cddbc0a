#include "lease/SystemErrorText.h"

#include "platform/SystemMessages.h"

namespace lease {

std::string SystemErrorText(std::uint32_t code) {
  std::string text = platform::SystemMessageText(code);
  while (!text.empty()) {
    auto last = static_cast<unsigned char>(text.back());
    if (last > 32 && last != '.') {
      break;
    }
    text.pop_back();
  }
  return text;
}

}  // namespace lease
