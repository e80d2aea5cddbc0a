#include "platform/SystemMessages.h"

#include <windows.h>

#include <memory>

namespace platform {
namespace {

struct LocalFreeText {
  void operator()(char* text) const { ::LocalFree(text); }
};

// The text of `code` in one message table, at whatever length: the system sizes the buffer, so
// that a long text is never cut or lost. Language 0: the system's default search through the
// neutral and user languages.
std::string MessageFrom(DWORD table, HMODULE module, std::uint32_t code) {
  char* text = nullptr;
  DWORD length =
      ::FormatMessageA(table | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                       module, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  const std::unique_ptr<char, LocalFreeText> owned(text);
  return length == 0 || text == nullptr ? std::string() : std::string(text, length);
}

// The DHCP server's own statuses (20000 and up: "subnet not present", "jet error", ...) have
// their texts in the DHCP API library's message table, not in the system's. That is the library
// the program has imported and calls; a process without it reads the system's copy, as data only.
class DhcpApiMessages {
 public:
  DhcpApiMessages() : module_(::GetModuleHandleW(L"dhcpsapi.dll")) {
    if (module_ == nullptr) {
      module_ = ::LoadLibraryExW(L"dhcpsapi.dll", nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32);
      loaded_ = module_ != nullptr;
    }
  }
  ~DhcpApiMessages() {
    if (loaded_) {
      ::FreeLibrary(module_);
    }
  }
  DhcpApiMessages(const DhcpApiMessages&) = delete;
  DhcpApiMessages& operator=(const DhcpApiMessages&) = delete;

  std::string TextOf(std::uint32_t code) const {
    return module_ != nullptr ? MessageFrom(FORMAT_MESSAGE_FROM_HMODULE, module_, code)
                              : std::string();
  }

 private:
  HMODULE module_;
  bool loaded_ = false;
};

}  // namespace

std::string SystemMessageText(std::uint32_t code) {
  std::string text = MessageFrom(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
  if (text.empty()) {
    text = DhcpApiMessages().TextOf(code);
  }
  return text;
}

}  // namespace platform
