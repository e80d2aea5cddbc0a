#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <utility>

#include "platform/Interrupts.h"

namespace platform {
namespace {

constexpr int kLinksFollowed = 40;  // as the kernel's own bound on a path's links
constexpr int kNameAttempts = 16;

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends in (which need not exist), so that the new file
// replaces it and the links stay.
std::string FollowLinks(std::string path) {
  for (int i = 0; i < kLinksFollowed; ++i) {
    struct stat info {};
    char target[PATH_MAX];
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return path;
    }
    ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
      return path;
    }
    std::string link(target, static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : FolderOf(path) + link;
  }
  return path;
}

bool FillRandom(unsigned char* bytes, std::size_t count) {
  if (::getrandom(bytes, count, 0) == static_cast<ssize_t>(count)) {
    return true;
  }
  int fd = OpenRetrying("/dev/urandom", O_RDONLY, 0);
  if (fd < 0) {
    return false;
  }
  bool filled = ::read(fd, bytes, count) == static_cast<ssize_t>(count);
  ::close(fd);
  return filled;
}

// A name nobody can guess in advance, so that nothing planted in a shared folder waits for it.
bool RandomName(const std::string& folder, std::string& name) {
  unsigned char bytes[8];
  if (!FillRandom(bytes, sizeof bytes)) {
    return false;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  name = folder + ".leasedump-";
  for (unsigned char byte : bytes) {
    name += kDigits[byte >> 4];
    name += kDigits[byte & 0xF];
  }
  name += ".tmp";
  return true;
}

// Created exclusively, never through a link. `mode` is the old file's (kept exactly), or none
// for a new file, which gets the usual 0666 less the umask.
int CreateTemporary(const std::string& folder, std::optional<mode_t> mode, std::string& path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(folder, path)) {
      return -1;
    }
    int fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode.value_or(0666));
    if (fd >= 0) {
      if (mode && ::fchmod(fd, *mode) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return -1;
      }
      return fd;
    }
    if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

enum class TargetKind { Missing, Regular, Unwritable, Other };

// A file that may not be written is not replaced behind its owner's back either. `mode` gets the
// permission bits of an existing regular file.
TargetKind KindOf(const std::string& target, std::optional<mode_t>& mode) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    return errno == ENOENT ? TargetKind::Missing : TargetKind::Other;
  }
  if (!S_ISREG(info.st_mode)) {
    return TargetKind::Other;
  }
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return TargetKind::Unwritable;
  }
  mode = info.st_mode & 07777;
  return TargetKind::Regular;
}

}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  const std::string target = FollowLinks(path);
  std::optional<mode_t> mode;
  TargetKind kind = KindOf(target, mode);
  if (kind == TargetKind::Unwritable) {
    return std::nullopt;
  }
  if (kind == TargetKind::Missing || kind == TargetKind::Regular) {
    std::string temporary;
    int fd = CreateTemporary(FolderOf(target), mode, temporary);
    if (fd >= 0) {
      RemoveOnInterrupt(temporary);
      return OutputFile(fd, true, std::move(temporary), target);
    }
  }
  // A device, a pipe, or a folder that takes no new file: the target itself, as it is.
  int fd = OpenRetrying(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) {
    return std::nullopt;
  }
  struct stat opened {};
  bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
  return OutputFile(fd, regular, path, std::string());
}

bool OutputFile::Write(std::string_view bytes) {
  if (handle_ == kNoFile) {
    return false;
  }
  int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::CloseFile(std::intptr_t handle, bool flushFirst) {
  int fd = static_cast<int>(handle);
  bool closed = !flushFirst || ::fsync(fd) == 0;
  return ::close(fd) == 0 && closed;
}

bool OutputFile::MoveOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

void OutputFile::RemovePath(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace platform
