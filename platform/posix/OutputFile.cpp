#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/Interrupts.h"

namespace platform {
namespace {

constexpr int kNameAttempts = 16;
constexpr mode_t kNewFileMode = 0666;  // less the umask, as every program creates a file

// A descriptor closed on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Descriptor() { Close(); }
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  void Close() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }

  int fd_;
};

Descriptor OpenRetrying(int folder, const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::openat(folder, path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return Descriptor(fd);
}

// The folder part and the name of a path, as the system splits them.
std::pair<std::string, std::string> Split(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return {".", path};
  }
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The absolute path by which the kernel reached `fd`, opened as `path`; `path` itself when the
// system cannot tell (no /proc, and realpath fails too).
std::string AbsolutePathOf(int fd, const std::string& path) {
  char text[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = ::readlink(link.c_str(), text, sizeof text);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof text && text[0] == '/') {
    return std::string(text, static_cast<std::size_t>(length));
  }
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), std::free);
  return real ? std::string(real.get()) : path;
}

// Where a file was found: its folder, open, and its name there.
struct Location {
  Descriptor folder;
  std::string folderPath;  // absolute where the system can tell, for the interrupt handler
  std::string name;

  std::string PathOf(const std::string& entry) const {
    return folderPath == "/" ? "/" + entry : folderPath + "/" + entry;
  }
};

// The folder and name under which the kernel found the file that `fd` has open. Nothing when that
// name no longer holds this very file (renamed or replaced meanwhile).
std::optional<Location> LocationOf(int fd, const std::string& path) {
  auto [folderPath, name] = Split(AbsolutePathOf(fd, path));
  Location location{OpenRetrying(AT_FDCWD, folderPath, O_PATH | O_DIRECTORY), folderPath, name};
  struct stat opened {};
  struct stat named {};
  if (!location.folder || name.empty() || ::fstat(fd, &opened) != 0 ||
      ::fstatat(location.folder.Get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    return std::nullopt;
  }
  return location;
}

bool FillRandom(unsigned char* bytes, std::size_t count) {
  if (::getrandom(bytes, count, 0) == static_cast<ssize_t>(count)) {
    return true;
  }
  Descriptor random = OpenRetrying(AT_FDCWD, "/dev/urandom", O_RDONLY);
  return random && ::read(random.Get(), bytes, count) == static_cast<ssize_t>(count);
}

// A name nobody can guess in advance, so that nothing planted in a shared folder waits for it.
bool RandomName(std::string& name) {
  unsigned char bytes[8];
  if (!FillRandom(bytes, sizeof bytes)) {
    return false;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  name = ".leasedump-";
  for (unsigned char byte : bytes) {
    name += kDigits[byte >> 4];
    name += kDigits[byte & 0xF];
  }
  name += ".tmp";
  return true;
}

struct Temporary {
  Descriptor file;
  std::string name;
  int error = 0;  // why it could not be made
};

// Created exclusively, in the open folder and never through a link.
Temporary CreateTemporary(const Location& beside, mode_t mode) {
  Temporary temporary;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(temporary.name)) {
      temporary.error = errno;
      return temporary;
    }
    temporary.file = OpenRetrying(beside.folder.Get(), temporary.name,
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
    if (temporary.file) {
      return temporary;
    }
    if (errno != EEXIST) {
      temporary.error = errno;
      return temporary;
    }
  }
  temporary.error = EEXIST;
  return temporary;
}

// A folder that refuses every new file; writing the old file in place is then the only way.
bool RefusesNewFiles(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// The new file takes the old one's owner, group and permissions (in that order: a change of owner
// clears the set-id bits). Only root, or an owner who is in the old file's group, can do that.
bool TakeOverOwnership(int fd, const struct stat& old) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) {
    return false;
  }
  if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// What Create hands over to the object: the file, and for a file of the run's own where it is.
struct Opened {
  Descriptor file;
  bool removable = false;
  Descriptor folder;
  std::string written;
  std::string replaced;
  std::string armedPath;  // the absolute path of what is removed on an interrupt
};

Opened Device(Descriptor file) {
  return Opened{std::move(file), false, Descriptor(), {}, {}, {}};
}

// The old file itself, emptied: the only way left to replace it.
std::optional<Opened> InPlace(Descriptor target, Location location) {
  if (::ftruncate(target.Get(), 0) != 0) {
    return std::nullopt;
  }
  std::string armedPath = location.PathOf(location.name);
  return Opened{std::move(target),        true, std::move(location.folder),
                std::move(location.name), {},   std::move(armedPath)};
}

Opened Replacing(Temporary temporary, Location location) {
  std::string armedPath = location.PathOf(temporary.name);
  return Opened{std::move(temporary.file),  true,
                std::move(location.folder), std::move(temporary.name),
                std::move(location.name),   std::move(armedPath)};
}

std::optional<Opened> ReplaceExisting(Descriptor target, const std::string& path) {
  struct stat old {};
  if (::fstat(target.Get(), &old) != 0) {
    return std::nullopt;
  }
  if (!S_ISREG(old.st_mode)) {
    return Device(std::move(target));
  }
  std::optional<Location> location = LocationOf(target.Get(), path);
  if (!location) {
    return std::nullopt;
  }
  Temporary temporary = CreateTemporary(*location, 0600);
  if (temporary.file && TakeOverOwnership(temporary.file.Get(), old)) {
    return Replacing(std::move(temporary), std::move(*location));
  }
  if (temporary.file) {
    ::unlinkat(location->folder.Get(), temporary.name.c_str(), 0);
  } else if (!RefusesNewFiles(temporary.error)) {
    return std::nullopt;  // no inode or no space left, ...: the old file stays as it is
  }
  return InPlace(std::move(target), std::move(*location));
}

// No such file: the new one is made in the folder of the name and takes that name when done.
std::optional<Opened> CreateNew(const std::string& path) {
  auto [folderPath, name] = Split(path);
  Location location{OpenRetrying(AT_FDCWD, folderPath, O_PATH | O_DIRECTORY), {}, name};
  if (!location.folder || name.empty()) {
    return std::nullopt;
  }
  location.folderPath = AbsolutePathOf(location.folder.Get(), folderPath);
  Temporary temporary = CreateTemporary(location, kNewFileMode);
  if (!temporary.file) {
    return std::nullopt;
  }
  return Replacing(std::move(temporary), std::move(location));
}

// The link names a file that does not exist: the kernel creates it through the link, or refuses
// to follow a link that another user planted in a shared folder. The file is new, so there is no
// old one to keep, and it is written where it was made.
std::optional<Opened> CreateThroughLink(const std::string& path) {
  Descriptor made = OpenRetrying(AT_FDCWD, path, O_WRONLY | O_CREAT, kNewFileMode);
  struct stat info {};
  if (!made || ::fstat(made.Get(), &info) != 0) {
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    return Device(std::move(made));
  }
  if (info.st_size != 0) {  // made by someone else meanwhile: an old file to keep after all
    return ReplaceExisting(std::move(made), path);
  }
  std::optional<Location> location = LocationOf(made.Get(), path);
  if (!location) {
    return std::nullopt;
  }
  return InPlace(std::move(made), std::move(*location));
}

// Opened for writing by the kernel, so that its protections against planted links apply, and
// without truncating, so that nothing changes until the new file is complete.
std::optional<Opened> Open(const std::string& path) {
  Descriptor target = OpenRetrying(AT_FDCWD, path, O_WRONLY);
  if (target) {
    return ReplaceExisting(std::move(target), path);
  }
  if (errno != ENOENT) {
    return std::nullopt;  // not writable, a link the kernel will not follow, a folder, ...
  }
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    return CreateThroughLink(path);
  }
  return CreateNew(path);
}

}  // namespace

// Armed for an interrupt once the object owns the file, which it removes if arming fails.
std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  std::optional<Opened> opened = Open(path);
  if (!opened) {
    return std::nullopt;
  }
  OutputFile file(
      opened->file.Release(), opened->removable,
      Place{opened->folder.Release(), std::move(opened->written), std::move(opened->replaced)});
  if (file.removable_) {
    RemoveOnInterrupt(opened->armedPath);
  }
  return file;
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

bool OutputFile::CloseFile(Handle handle, bool flushFirst) {
  int fd = static_cast<int>(handle);
  bool closed = !flushFirst || ::fsync(fd) == 0;
  return ::close(fd) == 0 && closed;
}

bool OutputFile::MoveOver(const Place& place) {
  int folder = static_cast<int>(place.folder);
  return ::renameat(folder, place.written.c_str(), folder, place.replaced.c_str()) == 0;
}

void OutputFile::RemoveWritten(const Place& place) {
  ::unlinkat(static_cast<int>(place.folder), place.written.c_str(), 0);
}

void OutputFile::CloseFolder(Handle folder) {
  if (folder != kNoFile) {
    ::close(static_cast<int>(folder));
  }
}

}  // namespace platform
