#define _CRT_RAND_S
#include "platform/OutputFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/Interrupts.h"
#include "platform/TextEncoding.h"

namespace platform {
namespace {

// WriteFile takes a 32-bit count; larger texts go in pieces.
constexpr std::size_t kLargestWrite = 1u << 30;
constexpr int kNameAttempts = 16;

HANDLE HandleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t ValueOf(HANDLE handle) {
  static_assert(sizeof(HANDLE) == sizeof(std::intptr_t));
  return reinterpret_cast<std::intptr_t>(handle);
}

// A handle closed on every path.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle_);
    }
  }
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

std::wstring WideOf(const std::string& narrow) {
  std::u16string wide = WideFromNarrow(narrow);
  return std::wstring(wide.begin(), wide.end());
}

// The whole path in the form that takes any length ("\\?\C:\...", "\\?\UNC\server\..."), so
// that the temporary file's longer name works wherever the target's name does. Empty when the
// system cannot make it whole.
std::wstring LongFormOf(const std::wstring& path) {
  DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return {};
  }
  std::wstring full(size, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    return {};
  }
  full.resize(length);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) {
    return full;
  }
  if (full.rfind(L"\\\\", 0) == 0) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return L"\\\\?\\" + full;
}

// The file a link or junction ends in, so that the new file replaces it and the link stays; the
// system gives it in the long form.
std::wstring FinalPathOf(HANDLE handle, const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return LongFormOf(path);
  }
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetFinalPathNameByHandleW(handle, final.data(),
                                               static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
    if (length == 0) {
      return {};
    }
    if (length < final.size()) {
      final.resize(length);
      return final;
    }
    final.resize(length);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// A name nobody can guess in advance, so that nothing planted in a shared folder waits for it.
bool RandomName(const std::wstring& folder, std::wstring& name) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  name = folder + L".leasedump-";
  for (int i = 0; i < 2; ++i) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) {
      return false;
    }
    for (int shift = 28; shift >= 0; shift -= 4) {
      name += kDigits[(value >> shift) & 0xF];
    }
  }
  name += L".tmp";
  return true;
}

// Created exclusively. Deleting stays shared so that an interrupt can remove it while it is open.
HANDLE CreateTemporary(const std::wstring& folder, std::wstring& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(folder, path)) {
      ::SetLastError(ERROR_GEN_FAILURE);
      return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      return handle;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// A folder that refuses every new file; writing the old file in place is then the only way.
bool RefusesNewFiles(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

// What Create hands over to the object.
struct Opened {
  HANDLE file = INVALID_HANDLE_VALUE;
  bool removable = false;
  std::wstring written;
  std::wstring replaced;
};

// No such file: the new one is made in the folder of the name and takes that name when done.
std::optional<Opened> CreateNew(const std::wstring& path) {
  std::wstring target = LongFormOf(path);
  std::wstring temporary;
  HANDLE handle =
      target.empty() ? INVALID_HANDLE_VALUE : CreateTemporary(FolderOf(target), temporary);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  return Opened{handle, true, std::move(temporary), std::move(target)};
}

// The existing file was opened for writing without sharing but deletion: it must be writable
// now (not read-only, not held open by another program), or it is not replaced behind its
// owner's back either.
std::optional<Opened> ReplaceExisting(FileHandle& target, const std::wstring& path) {
  if (::GetFileType(target.Get()) != FILE_TYPE_DISK) {
    return Opened{target.Release(), false, path, {}};
  }
  std::wstring final = FinalPathOf(target.Get(), path);
  if (final.empty()) {
    return std::nullopt;
  }
  std::wstring temporary;
  HANDLE handle = CreateTemporary(FolderOf(final), temporary);
  if (handle != INVALID_HANDLE_VALUE) {
    return Opened{handle, true, std::move(temporary), std::move(final)};
  }
  if (!RefusesNewFiles(::GetLastError())) {
    return std::nullopt;  // a disk full, ...: the old file stays as it is
  }
  if (!::SetEndOfFile(target.Get())) {  // the handle is at the start: emptied
    return std::nullopt;
  }
  return Opened{target.Release(), true, std::move(final), {}};
}

std::optional<Opened> Open(const std::string& path) {
  std::wstring wide = WideOf(path);
  FileHandle target(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (target) {
    return ReplaceExisting(target, wide);
  }
  if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return std::nullopt;
  }
  return CreateNew(wide);
}

}  // namespace

// Armed for an interrupt once the object owns the file, which it removes if arming fails.
std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  std::optional<Opened> opened = Open(path);
  if (!opened) {
    return std::nullopt;
  }
  OutputFile file(ValueOf(opened->file), opened->removable,
                  Place{kNoFile, std::move(opened->written), std::move(opened->replaced)});
  if (file.removable_) {
    RemoveOnInterrupt(file.place_.written);
  }
  return file;
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

bool OutputFile::CloseFile(Handle handle, bool flushFirst) {
  HANDLE file = HandleOf(handle);
  bool closed = !flushFirst || ::FlushFileBuffers(file);
  return ::CloseHandle(file) && closed;
}

// ReplaceFileW gives the new file the old one's security descriptor, attributes and creation
// time. A target that did not exist, or no longer does, is simply named.
bool OutputFile::MoveOver(const Place& place) {
  if (::ReplaceFileW(place.replaced.c_str(), place.written.c_str(), nullptr, 0, nullptr, nullptr)) {
    return true;
  }
  return ::GetLastError() == ERROR_FILE_NOT_FOUND &&
         ::MoveFileExW(place.written.c_str(), place.replaced.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void OutputFile::RemoveWritten(const Place& place) {
  ::DeleteFileW(place.written.c_str());
}

void OutputFile::CloseFolder(Handle) {}

}  // namespace platform
