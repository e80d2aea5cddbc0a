#define _CRT_RAND_S
#include "platform/OutputFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/Interrupts.h"

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

std::string FolderOf(const std::string& path) {
  std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// The file a link or junction ends in, so that the new file replaces it and the link stays.
std::string FinalPathOf(HANDLE handle, const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  std::string final(MAX_PATH, '\0');
  for (;;) {
    DWORD length = ::GetFinalPathNameByHandleA(handle, final.data(),
                                               static_cast<DWORD>(final.size()), VOLUME_NAME_DOS);
    if (length == 0) {
      return path;
    }
    if (length < final.size()) {
      final.resize(length);
      return final;
    }
    final.resize(length);
  }
}

// A name nobody can guess in advance, so that nothing planted in a shared folder waits for it.
bool RandomName(const std::string& folder, std::string& name) {
  static constexpr char kDigits[] = "0123456789abcdef";
  name = folder + ".leasedump-";
  for (int i = 0; i < 2; ++i) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) {
      return false;
    }
    for (int shift = 28; shift >= 0; shift -= 4) {
      name += kDigits[(value >> shift) & 0xF];
    }
  }
  name += ".tmp";
  return true;
}

// Created exclusively. Deleting stays shared so that an interrupt can remove it while it is open.
HANDLE CreateTemporary(const std::string& folder, std::string& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(folder, path)) {
      return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      return handle;
    }
  }
  return INVALID_HANDLE_VALUE;
}

enum class TargetKind { Missing, Regular, Other };

// An existing file must be writable now (not read-only, not held open by another program), or it
// is not replaced behind its owner's back either.
TargetKind KindOf(const std::string& path, std::string& target) {
  HANDLE probe = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    target = path;
    return error == ERROR_FILE_NOT_FOUND ? TargetKind::Missing : TargetKind::Other;
  }
  bool regular = ::GetFileType(probe) == FILE_TYPE_DISK;
  target = regular ? FinalPathOf(probe, path) : path;
  ::CloseHandle(probe);
  return regular ? TargetKind::Regular : TargetKind::Other;
}

}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  std::string target;
  TargetKind kind = KindOf(path, target);
  if (kind == TargetKind::Missing || kind == TargetKind::Regular) {
    std::string temporary;
    HANDLE handle = CreateTemporary(FolderOf(target), temporary);
    if (handle != INVALID_HANDLE_VALUE) {
      RemoveOnInterrupt(temporary);
      return OutputFile(ValueOf(handle), true, std::move(temporary), target);
    }
  }
  // A device, a pipe, or a folder that takes no new file: the target itself, as it is. No
  // sharing: nobody else reads a half-written result or writes into it.
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  bool regular = ::GetFileType(handle) == FILE_TYPE_DISK;
  return OutputFile(ValueOf(handle), regular, path, std::string());
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

bool OutputFile::CloseFile(std::intptr_t handle, bool flushFirst) {
  HANDLE file = HandleOf(handle);
  bool closed = !flushFirst || ::FlushFileBuffers(file);
  return ::CloseHandle(file) && closed;
}

bool OutputFile::MoveOver(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void OutputFile::RemovePath(const std::string& path) {
  ::DeleteFileA(path.c_str());
}

}  // namespace platform
