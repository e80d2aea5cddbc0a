#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Reading the files a DHCP server keeps (its configuration and lease files) with read permission
// alone. Only the POSIX build has it: the Linux sources are its only users.

enum class FileError {
  None,
  NotFound,      // no such file or folder, or a path through something that is no folder
  AccessDenied,  // the permissions do not let this user read it
  NotAFile,      // a folder, a device, a pipe: nothing a server keeps its data in
  Failed,        // any other failure of the system
};

// What tells one state of a file from another: a rewrite in place changes the size or the
// modification time (and the change time with it); a replacement by rename changes the inode.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // since 1970-01-01 UTC, as the file system keeps it
  std::int64_t changedNs = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One regular file opened for reading. Opening never waits (a pipe named as a file is refused,
// not waited on) and never changes the file's access time for others to notice.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  FileError Open(const std::string& path);
  FileError Stamp(FileStamp& stamp) const;
  // Up to `room` bytes at the current position; `count` 0 is the end of the file.
  FileError Read(char* buffer, std::size_t room, std::size_t& count);

 private:
  void Close();

  int fd_ = -1;
};

struct DirectoryEntry {
  std::string name;
  bool regularFile = false;  // after following a symbolic link, as a server opening it would
};

// Whether the path names a regular file (after following symbolic links), as opposed to a
// socket, a folder or nothing; false too when it cannot be looked at. Needs no read permission.
bool IsRegularFile(const std::string& path);

// The entries of a folder (without "." and ".."), in no particular order.
FileError ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

}  // namespace platform
