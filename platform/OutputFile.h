#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// A result file being written. A regular file, or one that does not exist yet, is written as a
// new temporary file beside it that takes its place only when every byte is written and the file
// closed, so that the target is either the whole new file or exactly what it was: a failed save
// never destroys the last good one. A symbolic link is followed and stays a link. A target that
// is no regular file (a device, a pipe), or whose folder takes no new file, is written directly.
// Whatever is not committed is removed again: on a failure, by the destructor, and by an
// interrupt of the process.
class OutputFile {
 public:
  // Nothing when the target can be neither replaced nor written.
  static std::optional<OutputFile> Create(const std::string& path);

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // True when every byte was written.
  bool Write(std::string_view bytes);
  // Closes the file and puts it in the target's place. True when the target now holds every byte
  // written; otherwise nothing of the new file is left. Afterwards the object holds no file.
  bool Commit();
  // Closes the file and removes what was written, unless it was written straight to a device or
  // a pipe. Afterwards the object holds no file.
  void Discard();

 private:
  // Both platforms' "no file": -1 is an invalid descriptor and INVALID_HANDLE_VALUE.
  static constexpr std::intptr_t kNoFile = -1;

  // The platform's calls behind Commit and Discard. CloseFile releases the handle even when it
  // reports an error, so it is never retried.
  static bool CloseFile(std::intptr_t handle, bool flushFirst);
  static bool MoveOver(const std::string& from, const std::string& to);
  static void RemovePath(const std::string& path);

  OutputFile(std::intptr_t handle, bool removable, std::string writtenPath,
             std::string replacedPath)
      : handle_(handle),
        removable_(removable),
        writtenPath_(std::move(writtenPath)),
        replacedPath_(std::move(replacedPath)) {}

  std::intptr_t handle_;
  bool removable_;            // what is written is a file of its own, to remove if not committed
  std::string writtenPath_;   // the file the handle writes
  std::string replacedPath_;  // the target it replaces on Commit; empty when written in place
};

}  // namespace platform
