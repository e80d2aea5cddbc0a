#include "platform/TextEncoding.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace platform {
namespace {

// The conversion calls count in int.
int CountOf(std::size_t size) {
  if (size > INT_MAX) {
    throw std::length_error("Text too long to convert");
  }
  return static_cast<int>(size);
}

}  // namespace

// CP_THREAD_ACP: the narrow text is that of the running thread, as everything the tool prints.
std::u16string WideFromNarrow(std::string_view narrow) {
  if (narrow.empty()) {
    return {};
  }
  int narrowCount = CountOf(narrow.size());
  int wideCount = ::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), narrowCount, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(wideCount), u'\0');
  ::MultiByteToWideChar(CP_THREAD_ACP, 0, narrow.data(), narrowCount,
                        reinterpret_cast<wchar_t*>(wide.data()), wideCount);
  return wide;
}

// Without best fit: the system would turn a fullwidth ';' or '<' into the ASCII one, a separator
// or markup that the name never held. A character the code page lacks becomes '?'. Code pages
// that hold every character (UTF-8 as the ANSI code page) take no such flag.
std::string NarrowFromWide(std::u16string_view wide) {
  if (wide.empty()) {
    return {};
  }
  int wideCount = CountOf(wide.size());
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int narrowCount =
      ::WideCharToMultiByte(CP_THREAD_ACP, flags, source, wideCount, nullptr, 0, nullptr, nullptr);
  if (narrowCount == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    narrowCount = ::WideCharToMultiByte(CP_THREAD_ACP, flags, source, wideCount, nullptr, 0,
                                        nullptr, nullptr);
  }
  std::string narrow(static_cast<std::size_t>(narrowCount), '\0');
  ::WideCharToMultiByte(CP_THREAD_ACP, flags, source, wideCount, narrow.data(), narrowCount,
                        nullptr, nullptr);
  return narrow;
}

}  // namespace platform
