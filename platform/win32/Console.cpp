#include "platform/Console.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/InputLines.h"
#include "platform/TextEncoding.h"
#include "platform/win32/ConsoleText.h"

namespace platform {
namespace {

// WriteFile takes a 32-bit count; larger texts go in pieces.
constexpr std::size_t kLargestWrite = 1u << 30;
constexpr DWORD kKeyRecordsPerRead = 10;
constexpr std::size_t kConsoleUnitsPerRead = 1024;
// Older consoles refuse a single write of more than about 64 KB; a line rarely needs two.
constexpr std::size_t kConsoleUnitsPerWrite = 8192;

IoStatus IoFailure(DWORD error) {
  IoStatus status;
  status.ok = false;
  status.errorNumber = static_cast<int>(error);
  status.kind = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
                    ? runtime::IoErrorKind::DiskFull
                    : runtime::IoErrorKind::Other;
  return status;
}

// Bytes through WriteFile, never through the C runtime, whose text mode would turn CR LF into
// CR CR LF.
IoStatus WriteAll(DWORD standardHandle, std::string_view bytes) {
  HANDLE handle = ::GetStdHandle(standardHandle);
  while (!bytes.empty()) {
    DWORD wanted = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), wanted, &written, nullptr)) {
      return IoFailure(::GetLastError());
    }
    // Success without progress would loop for ever; a full disk answers so.
    if (written == 0) {
      return IoFailure(ERROR_DISK_FULL);
    }
    bytes.remove_prefix(written);
  }
  return {};
}

// A console shows its own (OEM) code page, not the ANSI one that every narrow text of the tool is
// in: the u-umlaut of a server name, 0xFC in code page 1252, would show as a superscript n of code
// page 437. So a console is written in Unicode, each line converted as a whole; a pipe or a file
// gets the bytes as they are.
IoStatus WriteToConsole(HANDLE console, std::string_view bytes) {
  std::u16string text = WideFromNarrow(bytes);
  std::u16string_view rest = text;
  while (!rest.empty()) {
    std::size_t wanted = std::min(rest.size(), kConsoleUnitsPerWrite);
    // Both halves of a pair in one write, or the console shows two replacement characters.
    if (wanted < rest.size() && rest[wanted - 1] >= 0xD800 && rest[wanted - 1] <= 0xDBFF) {
      --wanted;
    }
    DWORD written = 0;
    if (!::WriteConsoleW(console, rest.data(), static_cast<DWORD>(wanted), &written, nullptr)) {
      return IoFailure(::GetLastError());
    }
    if (written == 0) {
      return IoFailure(ERROR_WRITE_FAULT);
    }
    rest.remove_prefix(written);
  }
  return {};
}

// A process started without standard input, or whose writer has gone, has reached its end.
bool IsEndOfInput(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF || error == ERROR_INVALID_HANDLE;
}

InputChunk FailedRead() {
  InputChunk chunk;
  DWORD error = ::GetLastError();
  if (!IsEndOfInput(error)) {
    chunk.status = IoFailure(error);
  }
  return chunk;
}

// Piped or redirected input: the bytes as they are.
InputChunk ReadBytes(HANDLE input, char* buffer, std::size_t size) {
  InputChunk chunk;
  DWORD count = 0;
  if (!::ReadFile(input, buffer, static_cast<DWORD>(size), &count, nullptr)) {
    return FailedRead();
  }
  chunk.count = count;
  return chunk;
}

// Typed at a console: UTF-16, converted as every other text. Every UTF-16 unit gives at most
// four bytes of any narrow encoding, pairs included. Ctrl+Z at the start of a read ends the
// input, as the console's byte reads have it.
InputChunk ReadTyped(HANDLE input, char* buffer, std::size_t size) {
  static ConsoleTextDecoder decoder;
  wchar_t units[kConsoleUnitsPerRead];
  DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size / 4, kConsoleUnitsPerRead));
  for (;;) {
    DWORD count = 0;
    if (!::ReadConsoleW(input, units, wanted, &count, nullptr)) {
      return FailedRead();
    }
    InputChunk chunk;
    if (count == 0 || units[0] == 0x1A) {
      return chunk;
    }
    std::string text =
        decoder.Decode(std::u16string_view(reinterpret_cast<const char16_t*>(units), count));
    if (!text.empty()) {
      chunk.count = std::min(text.size(), size);
      std::memcpy(buffer, text.data(), chunk.count);
      return chunk;
    }
  }
}

InputChunk ReadChunk(char* buffer, std::size_t size) {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  return ::GetConsoleMode(input, &mode) ? ReadTyped(input, buffer, size)
                                        : ReadBytes(input, buffer, size);
}

bool HasKeyEvent(const INPUT_RECORD* records, DWORD count) {
  return std::any_of(records, records + count,
                     [](const INPUT_RECORD& record) { return record.EventType == KEY_EVENT; });
}

}  // namespace

IoStatus WriteStandardOutput(std::string_view bytes) {
  HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return ::GetConsoleMode(output, &mode) ? WriteToConsole(output, bytes)
                                         : WriteAll(STD_OUTPUT_HANDLE, bytes);
}

IoStatus WriteStandardError(std::string_view bytes) {
  return WriteAll(STD_ERROR_HANDLE, bytes);
}

StandardInputLine ReadStandardInputLine() {
  return ReadLineFrom(ReadChunk);
}

void WaitForConsoleKey() {
  HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  // The release of the Enter key that ended the last answer is still queued; without this it
  // would end the wait before anyone has read the screen.
  ::FlushConsoleInputBuffer(input);
  INPUT_RECORD records[kKeyRecordsPerRead];
  DWORD count = 0;
  // Fails at once when standard input is not a console (a pipe, a file, none).
  while (::ReadConsoleInputA(input, records, kKeyRecordsPerRead, &count)) {
    if (HasKeyEvent(records, count)) {
      return;
    }
  }
}

// As CharToOemBuffA converts, but through kernel32 alone: a console program that loads
// user32.dll is no longer told of the session ending or the system shutting down.
std::string ToConsoleCodePage(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX / 4));
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  int wideCount = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size);
  std::string converted(static_cast<std::size_t>(wideCount) * 4, '\0');
  int count = ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), wideCount, converted.data(),
                                    static_cast<int>(converted.size()), nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(count));
  return converted;
}

}  // namespace platform
