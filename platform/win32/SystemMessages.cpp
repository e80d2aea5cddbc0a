#include "platform/SystemMessages.h"

#include <windows.h>

namespace platform {
namespace {
constexpr DWORD kMessageBufferSize = 256;
}

std::string SystemMessageText(std::uint32_t code) {
  char buffer[kMessageBufferSize];
  // Language 0: the system's default search through the neutral and user languages.
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, kMessageBufferSize, nullptr);
  return std::string(buffer, length);
}

}  // namespace platform
