#include "platform/Console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/InputLines.h"

namespace platform {
namespace {

IoStatus FailureOf(int errorNumber) {
  IoStatus status;
  status.ok = false;
  status.errorNumber = errorNumber;
  status.kind = errorNumber == ENOSPC || errorNumber == EDQUOT ? runtime::IoErrorKind::DiskFull
                                                               : runtime::IoErrorKind::Other;
  return status;
}

IoStatus WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return FailureOf(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// Puts the terminal into single-key mode for the life of the object. Signals are off too, so
// that Ctrl+C counts as a key instead of ending the process with the terminal left raw.
class SingleKeyTerminal {
 public:
  SingleKeyTerminal() : active_(::tcgetattr(STDIN_FILENO, &saved_) == 0) {
    if (active_) {
      termios raw = saved_;
      raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
  }
  ~SingleKeyTerminal() {
    if (active_) {
      ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
  }
  SingleKeyTerminal(const SingleKeyTerminal&) = delete;
  SingleKeyTerminal& operator=(const SingleKeyTerminal&) = delete;
  bool Active() const { return active_; }

 private:
  termios saved_{};
  bool active_;
};

}  // namespace

IoStatus WriteStandardOutput(std::string_view bytes) {
  return WriteAll(STDOUT_FILENO, bytes);
}

IoStatus WriteStandardError(std::string_view bytes) {
  return WriteAll(STDERR_FILENO, bytes);
}

StandardInputLine ReadStandardInputLine() {
  return ReadLineFrom([](char* buffer, std::size_t size) {
    InputChunk chunk;
    for (;;) {
      ssize_t count = ::read(STDIN_FILENO, buffer, size);
      if (count >= 0) {
        chunk.count = static_cast<std::size_t>(count);
        return chunk;
      }
      // A closed descriptor is an input that has ended, not a broken console.
      if (errno == EBADF) {
        return chunk;
      }
      if (errno != EINTR) {
        chunk.status = FailureOf(errno);
        return chunk;
      }
    }
  });
}

void WaitForConsoleKey() {
  if (!::isatty(STDIN_FILENO)) {
    return;
  }
  SingleKeyTerminal terminal;
  if (!terminal.Active()) {
    return;
  }
  char key;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
}

std::string ToConsoleCodePage(std::string_view text) {
  return std::string(text);
}

}  // namespace platform
