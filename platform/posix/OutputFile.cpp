#include "platform/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace platform {

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return std::nullopt;
  }
  struct stat info {};
  bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  return OutputFile(fd, regular);
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

bool OutputFile::Close() {
  if (handle_ == kNoFile) {
    return false;
  }
  // close() releases the descriptor even when it reports an error, so it is never retried.
  int fd = static_cast<int>(std::exchange(handle_, kNoFile));
  return ::close(fd) == 0;
}

void RemoveFile(const std::string& path) {
  std::remove(path.c_str());
}

}  // namespace platform
