#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// A result file being written. The name is the user's, resolved by the system as any program's
// would be, so that the system's guards against planted links apply; what it names is what gets
// replaced (a symbolic link stays a link, to the new file). A regular file, or one that does not
// exist yet, is written as a new temporary file beside what the name resolved to, with the old
// file's owner, group and permissions, and takes its place only when every byte is written and
// the file closed: the target is either the whole new file or exactly what it was. Written in
// place instead: a target that is no regular file (a device, a pipe), and an existing file whose
// folder takes no new file for lack of permission, or whose owner and group the new file could
// not be given. Any other failure to make the temporary file leaves the target untouched and
// gives nothing. Whatever is written and not committed is removed again (but a device or a pipe):
// on a failure, by the destructor, and by an interrupt of the process.
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
  // A descriptor on POSIX, a HANDLE on Windows; -1 is both platforms' "none" (an invalid
  // descriptor, INVALID_HANDLE_VALUE).
  using Handle = std::intptr_t;
  static constexpr Handle kNoFile = -1;

  // Where the handle writes, in the platform's own terms: on POSIX names in the open folder
  // `folder`, so that nothing renamed meanwhile on the way to it can redirect the commit; on
  // Windows whole paths, and no folder.
  struct Place {
    Handle folder = kNoFile;
    std::filesystem::path written;   // removed unless committed, when the file is removable
    std::filesystem::path replaced;  // what it takes the place of; empty when written in place
  };

  // The platform's calls behind Commit and Discard. CloseFile releases the handle even when it
  // reports an error, so it is never retried.
  static bool CloseFile(Handle handle, bool flushFirst);
  static bool MoveOver(const Place& place);
  static void RemoveWritten(const Place& place);
  static void CloseFolder(Handle folder);

  OutputFile(Handle handle, bool removable, Place place)
      : handle_(handle), removable_(removable), place_(std::move(place)) {}

  Handle handle_;
  bool removable_;  // what is written is a file of the run's own, to remove if not committed
  Place place_;
};

}  // namespace platform
