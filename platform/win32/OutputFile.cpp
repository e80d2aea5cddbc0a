#include "platform/OutputFile.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace platform {
namespace {

// WriteFile takes a 32-bit count; larger texts go in pieces.
constexpr std::size_t kLargestWrite = 1u << 30;

HANDLE HandleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  // No sharing: nobody else reads a half-written result or writes into it.
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  static_assert(sizeof(HANDLE) == sizeof(std::intptr_t));
  // A device such as NUL or a named pipe is no file to remove after a failed write.
  bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
  return OutputFile(reinterpret_cast<std::intptr_t>(handle), regular);
}

bool OutputFile::Write(std::string_view bytes) {
  if (handle_ == kNoFile) {
    return false;
  }
  while (!bytes.empty()) {
    DWORD wanted = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
    DWORD written = 0;
    // A full disk can report success for a write that took only part of the bytes.
    if (!::WriteFile(HandleOf(handle_), bytes.data(), wanted, &written, nullptr) ||
        written != wanted) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool OutputFile::Close() {
  if (handle_ == kNoFile) {
    return false;
  }
  return ::CloseHandle(HandleOf(std::exchange(handle_, kNoFile))) != 0;
}

void RemoveFile(const std::string& path) {
  ::DeleteFileA(path.c_str());
}

}  // namespace platform
