#include "platform/ReadOnlyFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

namespace platform {
namespace {

FileError ErrorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileError::NotFound;
    case EACCES:
    case EPERM:
      return FileError::AccessDenied;
    case EISDIR:
    case ENXIO:  // a socket
      return FileError::NotAFile;
    default:
      return FileError::Failed;
  }
}

std::int64_t NanosecondsOf(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

}  // namespace

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

ReadOnlyFile::~ReadOnlyFile() {
  Close();
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FileError ReadOnlyFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: opening a pipe for reading would wait for a writer. O_NOATIME is refused for
  // files of other users, so it is asked for only where it is allowed.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return ErrorOf(errno);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    int error = errno;
    ::close(fd);
    return ErrorOf(error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return FileError::NotAFile;
  }
  fd_ = fd;
  return FileError::None;
}

FileError ReadOnlyFile::Stamp(FileStamp& stamp) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    return ErrorOf(errno);
  }
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modifiedNs = NanosecondsOf(info.st_mtim);
  stamp.changedNs = NanosecondsOf(info.st_ctim);
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  return FileError::None;
}

FileError ReadOnlyFile::Read(char* buffer, std::size_t room, std::size_t& count) {
  ssize_t got;
  do {
    got = ::read(fd_, buffer, room);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    count = 0;
    return ErrorOf(errno);
  }
  count = static_cast<std::size_t>(got);
  return FileError::None;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileError ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return errno == ENOTDIR ? FileError::NotAFile : ErrorOf(errno);
  }
  std::unique_ptr<DIR, DirectoryCloser> directory(::fdopendir(fd));
  if (!directory) {
    int error = errno;
    ::close(fd);
    return ErrorOf(error);
  }
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory.get());
    if (entry == nullptr) {
      return errno == 0 ? FileError::None : ErrorOf(errno);
    }
    std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    struct stat info {};
    bool regular = ::fstatat(fd, name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode);
    entries.push_back({std::move(name), regular});
  }
}

}  // namespace platform
